#include "platform/SerialAdapter.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/SerialNames.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, or nothing when it is not there.
std::optional<std::string> attribute(const fs::path& folder, const char* name) {
    std::ifstream file(folder / name);
    std::string line;
    if (!std::getline(file, line) || line.empty())
        return std::nullopt;
    return line;
}

// The by-id link whose target is device.
std::optional<std::string> byIdLink(const fs::path& device, const std::string& deviceRoot) {
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(deviceRoot) / "serial/by-id", error)) {
        std::error_code ignored;
        if (fs::canonical(entry.path(), ignored) == device)
            return entry.path().string();
    }
    return std::nullopt;
}

}  // namespace

std::optional<SerialAdapter> serialAdapterFor(const std::string& port,
                                              const std::string& systemRoot,
                                              const std::string& deviceRoot) {
    std::error_code error;
    const fs::path device = fs::canonical(devicePathForName(port, deviceRoot), error);
    if (error)
        return std::nullopt;
    // /sys/class/tty/NAME/device leads into the device tree; the USB device
    // is the nearest folder above it that has a vendor id.
    fs::path folder =
        fs::canonical(fs::path(systemRoot) / "class/tty" / device.filename() / "device", error);
    if (error)
        return std::nullopt;
    for (; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
        if (!fs::exists(folder / "idVendor", error))
            continue;
        SerialAdapter adapter;
        adapter.vendorId = attribute(folder, "idVendor");
        adapter.productId = attribute(folder, "idProduct");
        adapter.serial = attribute(folder, "serial");
        adapter.usbPath = folder.filename().string();
        adapter.byId = byIdLink(device, deviceRoot);
        const auto maker = attribute(folder, "manufacturer");
        const auto product = attribute(folder, "product");
        if (maker && product)
            adapter.description = *maker + " " + *product;
        else
            adapter.description = product ? product : maker;
        return adapter;
    }
    return std::nullopt;
}

std::map<std::string, SerialAdapter> serialAdapters(const std::string& systemRoot,
                                                    const std::string& deviceRoot) {
    std::map<std::string, SerialAdapter> adapters;
    for (int number = 1; number <= kHighestComPort; ++number) {
        const std::string port = "COM" + std::to_string(number);
        if (auto adapter = serialAdapterFor(port, systemRoot, deviceRoot))
            adapters.emplace(port, std::move(*adapter));
    }
    return adapters;
}

}  // namespace platform
