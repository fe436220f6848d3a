#include "app/TarvelApplication.h"

#include "common/ActionGuard.h"
#include "common/Messages.h"
#include "controls/PaintedIcons.h"

TarvelApplication::TarvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(messages::kApplicationTitle));
    // The desktop file's name, so that a desktop matches windows and icon.
    setDesktopFileName(QStringLiteral("io.github.tarvel.tarvel"));
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) icon.addPixmap(programPicture(size));
    setWindowIcon(icon);
}

bool TarvelApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
