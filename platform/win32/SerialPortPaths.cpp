#include "platform/SerialNames.h"

namespace platform {

std::string portDevicePath(int number, const std::string&) {
    return "\\\\.\\COM" + std::to_string(number);
}

std::string updaterPortPath(const std::string& portText) {
    return "\\\\.\\" + portText;
}

std::string unopenablePortState(const std::string&, const std::string&) {
    return "held or no access";
}

}  // namespace platform
