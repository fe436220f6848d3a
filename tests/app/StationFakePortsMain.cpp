// Tarvel-fakeports WORKSPACE --station …: the station's window on the tests'
// serial layer (COM1 to COM16), so that a bench can be driven under Xvfb on
// a machine without adapters. Built with the tests, never installed.
#include <QApplication>
#include <cstdio>

#include "app/StationArguments.h"
#include "app/StationWindow.h"
#include "app/TarvelApplication.h"
#include "support/FakeAdapters.h"

int main(int argc, char** argv) {
    TarvelApplication application(argc, argv);
    QStringList given = QApplication::arguments().mid(1);
    if (given.isEmpty()) {
        std::fprintf(stderr, "usage: Tarvel-fakeports WORKSPACE --station …\n");
        return 2;
    }
    const std::string workspace = given.takeFirst().toStdString();
    std::vector<std::string> arguments;
    for (const QString& argument : given) arguments.push_back(argument.toStdString());
    const FakeAdapters adapters;
    try {
        const auto station = readProgramArguments(arguments);
        if (!station)
            throw UsageError{"--station is missing"};
        return runStationWindow(*station, workspace,
                                {adapters.serial, adapters.systemRoot(), adapters.deviceRoot()});
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s\n\n%s", e.message.c_str(), kProgramUsage);
        return 2;
    }
}
