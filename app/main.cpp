#include "app/Forms.h"
#include "app/StationArguments.h"
#include "app/StationWindow.h"
#include "app/TarvelApplication.h"
#include "app/UTarveleFirmWare.h"
#include "platform/FileSystem.h"
#include "platform/SerialApi.h"
#include "platform/Shell.h"
#include "project/FolderUtils.h"
#include "project/Workspace.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (const std::string reason = platform::missingDesktopReason(argc, argv); !reason.empty()) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    TarvelApplication application(argc, argv);
    // What is left once Qt has taken its own options.
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
    std::optional<StationArguments> station;
    try {
        station = readProgramArguments(arguments);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "Tarvel: %s\n\n%s", e.message.c_str(), kProgramUsage);
        return 2;
    }
    const std::string root = workspaceRootFor(platform::executableFolder());
    if (station)
        return runStationWindow(*station, root, {platform::systemSerialApi()});
    // The other windows are built when first needed.
    ForceFolder(root);  // the user's own workspace, once installed
    TFTarveleFirmWare mainWindow(root);
    forms().mainWindow = &mainWindow;
    mainWindow.show();
    return application.exec();
}
