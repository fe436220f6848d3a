#include "platform/SerialNames.h"

#include <cctype>

namespace platform {

std::optional<int> comPortNumber(std::string_view name) {
    if (name.substr(0, 4) == "\\\\.\\")
        name.remove_prefix(4);
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return std::nullopt;
    }
    if (name[3] == '0')
        return std::nullopt;  // no leading zeros
    int number = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 256)
        return std::nullopt;
    return number;
}

std::string devicePathForName(const std::string& name, const std::string& deviceFolder) {
    const auto number = comPortNumber(name);
    return number ? portDevicePath(*number, deviceFolder) : name;
}

}  // namespace platform
