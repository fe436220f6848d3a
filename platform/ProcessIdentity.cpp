#include "platform/ProcessIdentity.h"

#include "platform/FileSystem.h"

namespace platform {

ProcessIdentity thisProcess() {
    return processOnThisHost(currentProcessId());
}

ProcessIdentity processOnThisHost(unsigned long processId) {
    const HostIdentity here = thisHost();
    return {here.host, here.boot, processId, lookAtProcess(processId).start};
}

Liveness liveness(const ProcessIdentity& process) {
    const HostIdentity here = thisHost();
    if (process.host.empty() || process.host != here.host)
        return Liveness::Unknown;
    switch (compareBoots(process.boot, here.boot)) {
        case BootComparison::Other:
            return Liveness::Ended;
        case BootComparison::Unknown:
            return Liveness::Unknown;
        case BootComparison::Same:
            break;
    }
    const ProcessSighting seen = lookAtProcess(process.processId);
    if (!seen.present)
        return Liveness::Ended;
    if (!seen.start || !process.start)
        return Liveness::Unknown;
    return *seen.start == *process.start ? Liveness::Running : Liveness::Ended;
}

std::string startText(const std::optional<std::uint64_t>& start) {
    return start ? std::to_string(*start) : "unknown";
}

std::optional<std::optional<std::uint64_t>> parseStartText(const std::string& text) {
    if (text == "unknown")
        return std::optional<std::uint64_t>{};
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::uint64_t value = std::stoull(text);
    return value == 0 ? std::optional<std::uint64_t>{} : std::optional<std::uint64_t>{value};
}

}  // namespace platform
