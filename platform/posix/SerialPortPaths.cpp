#include "platform/SerialNames.h"

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

}  // namespace platform
