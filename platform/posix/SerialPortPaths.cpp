#include "platform/SerialNames.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

std::string portDevicePath(int number, const std::string& deviceFolder) {
    static const char* const kFamilies[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};
    constexpr int kPortsPerFamily = 32;
    const int family = (number - 1) / kPortsPerFamily;
    if (number < 1 || family >= static_cast<int>(std::size(kFamilies)))
        return {};
    return deviceFolder + "/" + kFamilies[family] + std::to_string((number - 1) % kPortsPerFamily);
}

std::string updaterPortPath(const std::string& portText) {
    return devicePathForName(portText);
}

std::string unopenablePortState(const std::string& name, const std::string& deviceFolder) {
    const std::string path = devicePathForName(name, deviceFolder);
    if (access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES)
        return "no access";
    return "held";
}

}  // namespace platform
