#include "platform/Host.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {

HostIdentity thisHost() {
    HostIdentity identity;
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) == 0)
        identity.host = name;
    std::ifstream boot("/proc/sys/kernel/random/boot_id");
    std::getline(boot, identity.boot);
    return identity;
}

bool sameBoot(const std::string& a, const std::string& b) {
    return a == b;
}

std::optional<std::uint64_t> processStartTime(unsigned long processId) {
    if (processId == 0)
        return std::nullopt;
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return std::nullopt;
    // The command name in parentheses may hold blanks and parentheses itself;
    // the fields after its last ")" are plain. The start time is field 22,
    // the 20th after the name.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 0; i < 19 && fields >> field;) ++i;
    std::uint64_t start = 0;
    if (!(fields >> start))
        return std::nullopt;
    // A zombie has ended its work; it holds nothing of ours any more.
    const std::size_t state = line.find_first_not_of(' ', close + 1);
    if (state != std::string::npos && (line[state] == 'Z' || line[state] == 'X'))
        return std::nullopt;
    return start;
}

std::string currentUserName() {
    // No user database lookup: the program is linked statically.
    for (const char* name : {"USER", "LOGNAME"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return "uid " + std::to_string(geteuid());
}

}  // namespace platform
