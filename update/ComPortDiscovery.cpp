#include "update/ComPortDiscovery.h"

std::vector<ComPortState> probeComPorts(platform::SerialApi& api, int probeCount) {
    std::vector<ComPortState> ports;
    for (int number = 1; number <= probeCount; ++number) {
        const std::string name = "\\\\.\\COM" + std::to_string(number);
        const platform::CommHandle handle = api.createFile(name);
        // Held by another program (or by this one) still means present; a
        // name that opens something other than a device does not.
        const bool opened = handle != platform::kInvalidCommHandle;
        const bool present = opened ? api.isCharacterDevice(handle)
                                    : api.lastError() == platform::kErrorAccessDenied;
        if (present)
            ports.push_back({number, !opened});
        if (handle != platform::kInvalidCommHandle)
            api.closeHandle(handle);
    }
    return ports;
}

std::vector<std::string> discoverComPorts(platform::SerialApi& api, int probeCount) {
    std::vector<std::string> numbers;
    for (const ComPortState& port : probeComPorts(api, probeCount))
        numbers.push_back(std::to_string(port.number));
    return numbers;
}
