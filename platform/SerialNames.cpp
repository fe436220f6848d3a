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

std::optional<std::string> serialFromInstanceId(std::string_view instanceId) {
    const std::size_t first = instanceId.find('\\');
    const std::size_t second =
        first == std::string_view::npos ? first : instanceId.find('\\', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    std::string bus(instanceId.substr(0, first));
    for (char& c : bus) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (bus == "FTDIBUS") {
        const std::string_view ids = instanceId.substr(first + 1, second - first - 1);
        const std::size_t plus = ids.find('+', ids.find('+') + 1);
        if (ids.find('+') == std::string_view::npos || plus == std::string_view::npos ||
            plus + 1 >= ids.size())
            return std::nullopt;
        return std::string(ids.substr(plus + 1));
    }
    const std::string_view last = instanceId.substr(second + 1);
    if (bus != "USB" || last.empty() || last.find('&') != std::string_view::npos ||
        last.find('\\') != std::string_view::npos)
        return std::nullopt;
    return std::string(last);
}

}  // namespace platform
