#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

// What tells a USB serial adapter from another: its vendor and product id,
// serial number, place on the bus (bus and port chain, "1-1.2"), the
// /dev/serial/by-id link that leads to it, and its description. Many cheap
// adapters have no serial number; their place on the bus still tells two
// apart. Parts the platform does not give stay empty.
struct SerialAdapter {
    std::optional<std::string> vendorId;
    std::optional<std::string> productId;
    std::optional<std::string> serial;
    std::optional<std::string> usbPath;
    std::optional<std::string> byId;
    std::optional<std::string> description;
};

// The adapter behind a port: on Linux from sysfs, for the device path the
// port opens (links followed); on Windows from SetupAPI, for a "COMn" name.
// Nothing for a port that is no USB adapter, or one the platform cannot tell.
std::optional<SerialAdapter> serialAdapterFor(const std::string& port,
                                              const std::string& systemRoot = "/sys",
                                              const std::string& deviceRoot = "/dev");

// Every port that is a USB adapter now, by its "COMn" name, found without
// opening any port.
std::map<std::string, SerialAdapter> serialAdapters(const std::string& systemRoot = "/sys",
                                                    const std::string& deviceRoot = "/dev");

}  // namespace platform
