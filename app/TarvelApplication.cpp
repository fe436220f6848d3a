#include "app/TarvelApplication.h"

#include "common/ActionGuard.h"
#include "common/Messages.h"

TarvelApplication::TarvelApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(messages::kApplicationTitle));
}

bool TarvelApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
