#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>
#include <cstdlib>

namespace platform {

void openWebAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

std::string missingDesktopReason(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && value[0] != '\0';
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM"))
        return {};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "-platform")
            return {};
    }
    return "Tarvel needs a desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "tarvel-cli does the same work without one.";
#else
    static_cast<void>(argc);
    static_cast<void>(argv);
    return {};
#endif
}

}  // namespace platform
