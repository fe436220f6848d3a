#include "platform/Host.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
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

BootComparison compareBoots(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return BootComparison::Unknown;
    return a == b ? BootComparison::Same : BootComparison::Other;
}

namespace {

// The start time from /proc/<id>/stat, and whether the process is a zombie.
struct StatLine {
    std::optional<std::uint64_t> start;
    bool zombie = false;
};

std::optional<StatLine> readStatLine(unsigned long processId) {
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return std::nullopt;
    // The command name in parentheses may hold blanks and parentheses itself;
    // the fields after its last ")" are plain. The state comes first; the
    // start time is field 22, the 20th after the name.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos)
        return StatLine{};
    std::istringstream fields(line.substr(close + 1));
    StatLine read;
    std::string field;
    if (fields >> field)
        read.zombie = field == "Z" || field == "X";
    for (int i = 1; i < 19 && fields >> field;) ++i;
    std::uint64_t start = 0;
    if (fields >> start)
        read.start = start;
    return read;
}

}  // namespace

ProcessSighting lookAtProcess(unsigned long processId) {
    const auto pid = static_cast<pid_t>(processId);
    if (pid <= 0 || static_cast<unsigned long>(pid) != processId)
        return {};
    // A zombie has ended its work; it holds nothing of ours any more.
    const auto stat = readStatLine(processId);
    if (stat && stat->zombie)
        return {};
    // The signal test sees what /proc may hide (hidepid): EPERM still means
    // that the process is there.
    if (kill(pid, 0) != 0 && errno != EPERM)
        return {};
    return {true, stat ? stat->start : std::nullopt};
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
