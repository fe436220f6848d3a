#include "platform/SerialAdapter.h"

#include <windows.h>
// after <windows.h>, whose types they use
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>

#include "platform/SerialNames.h"
#include "platform/win32/Wide.h"

namespace platform {
namespace {

std::optional<std::string> registryProperty(HDEVINFO devices, SP_DEVINFO_DATA& device,
                                            DWORD property) {
    wchar_t text[1024] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof *text, nullptr))
        return std::nullopt;
    return fromWide(text);  // a multi-string's first string
}

// The port name ("COM3") a device of the Ports class has in its own key.
std::string portNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    const HKEY key =
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof *name;
    DWORD type = 0;
    RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return type == REG_SZ ? fromWide(name) : std::string();
}

// The four hex digits after "VID_" or "PID_" in a hardware id.
std::optional<std::string> idAfter(const std::string& hardwareId, const char* tag) {
    std::string upper = hardwareId;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::size_t at = upper.find(tag);
    if (at == std::string::npos || at + 8 > upper.size())
        return std::nullopt;
    std::string id = hardwareId.substr(at + 4, 4);
    std::transform(id.begin(), id.end(), id.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return id;
}

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string instanceIdOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    wchar_t id[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(devices, &device, id, sizeof id / sizeof *id - 1, nullptr))
        return {};
    return fromWide(id);
}

}  // namespace

std::map<std::string, SerialAdapter> serialAdapters(const std::string&, const std::string&) {
    std::map<std::string, SerialAdapter> adapters;
    const HDEVINFO devices =
        SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return adapters;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string port = portNameOf(devices, device);
        const auto hardwareId = registryProperty(devices, device, SPDRP_HARDWAREID);
        if (port.empty() || !hardwareId || !idAfter(*hardwareId, "VID_"))
            continue;  // no USB adapter
        SerialAdapter adapter;
        adapter.vendorId = idAfter(*hardwareId, "VID_");
        adapter.productId = idAfter(*hardwareId, "PID_");
        adapter.serial = serialFromInstanceId(instanceIdOf(devices, device));
        adapter.description = registryProperty(devices, device, SPDRP_FRIENDLYNAME);
        adapter.usbPath = registryProperty(devices, device, SPDRP_LOCATION_INFORMATION);
        adapters.emplace(upperCase(port), std::move(adapter));
    }
    SetupDiDestroyDeviceInfoList(devices);
    return adapters;
}

std::optional<SerialAdapter> serialAdapterFor(const std::string& port,
                                              const std::string& systemRoot,
                                              const std::string& deviceRoot) {
    auto adapters = serialAdapters(systemRoot, deviceRoot);
    const auto found = adapters.find(upperCase(port));
    if (found == adapters.end())
        return std::nullopt;
    return std::move(found->second);
}

}  // namespace platform
