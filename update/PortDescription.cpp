#include "update/PortDescription.h"

#include "platform/SerialNames.h"

std::string adapterSummary(const platform::SerialAdapter& adapter) {
    std::string details;
    const auto add = [&details](const std::string& part) {
        details += (details.empty() ? "" : ", ") + part;
    };
    if (adapter.vendorId && adapter.productId)
        add(*adapter.vendorId + ":" + *adapter.productId);
    if (adapter.serial)
        add("serial " + *adapter.serial);
    else if (adapter.usbPath)
        add("at " + *adapter.usbPath);
    const std::string name = adapter.description.value_or("USB serial adapter");
    return details.empty() ? name : name + " (" + details + ")";
}

std::string portTooltip(const std::string& name,
                        const std::optional<platform::SerialAdapter>& adapter) {
    const std::string device = platform::devicePathForName(name);
    return adapter ? device + "\n" + adapterSummary(*adapter) : device;
}
