#include "update/ComPortDiscovery.h"

std::vector<std::string> discoverComPorts(platform::SerialApi& api, int probeCount) {
    std::vector<std::string> ports;
    for (int number = 1; number <= probeCount; ++number) {
        const std::string name = "\\\\.\\COM" + std::to_string(number);
        const platform::CommHandle handle = api.createFile(name);
        // Held by another program (or by this one) still means present; a
        // name that opens something other than a device does not.
        const bool present = handle != platform::kInvalidCommHandle
                                 ? api.isCharacterDevice(handle)
                                 : api.lastError() == platform::kErrorAccessDenied;
        if (present)
            ports.push_back(std::to_string(number));
        if (handle != platform::kInvalidCommHandle)
            api.closeHandle(handle);
    }
    return ports;
}
