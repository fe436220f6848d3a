#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {

void openWebAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

}  // namespace platform
