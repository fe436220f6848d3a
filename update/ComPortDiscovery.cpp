#include "update/ComPortDiscovery.h"

#include <optional>

namespace {

// Nothing when the port is absent; whether it is held when present.
std::optional<bool> probePort(platform::SerialApi& api, const std::string& name) {
    const platform::CommHandle handle = api.createFile(name);
    // Held by another program (or by this one) still means present; a name
    // that opens something other than a device does not.
    const bool opened = handle != platform::kInvalidCommHandle;
    const bool present =
        opened ? api.isCharacterDevice(handle) : api.lastError() == platform::kErrorAccessDenied;
    if (opened)
        api.closeHandle(handle);
    if (!present)
        return std::nullopt;
    return !opened;
}

}  // namespace

bool portPresent(platform::SerialApi& api, const std::string& name) {
    return probePort(api, name).has_value();
}

std::vector<ComPortState> probeComPorts(platform::SerialApi& api, int probeCount) {
    std::vector<ComPortState> ports;
    for (int number = 1; number <= probeCount; ++number) {
        if (const auto held = probePort(api, "\\\\.\\COM" + std::to_string(number)))
            ports.push_back({number, *held});
    }
    return ports;
}

std::vector<std::string> discoverComPorts(platform::SerialApi& api, int probeCount) {
    std::vector<std::string> numbers;
    for (const ComPortState& port : probeComPorts(api, probeCount))
        numbers.push_back(std::to_string(port.number));
    return numbers;
}
