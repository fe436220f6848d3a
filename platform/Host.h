#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What tells this machine and its current boot from others: the host name,
// and the boot's identity (Linux: its boot id; Windows: the boot counter the
// system keeps, or where there is none, the boot time in seconds).
struct HostIdentity {
    std::string host;
    std::string boot;
};
HostIdentity thisHost();

// Whether two boot identities of this host name the same boot; Unknown when
// either could not be read, or they are of kinds that cannot be compared.
enum class BootComparison { Same, Other, Unknown };
BootComparison compareBoots(const std::string& a, const std::string& b);

// What this host sees of a process id now: whether a process runs with it
// (a zombie does not), and when that process started, in the platform's
// units (Linux: clock ticks since boot; Windows: its creation time), when
// that can be read. Another user's process may run with its start unread.
struct ProcessSighting {
    bool present = false;
    std::optional<std::uint64_t> start;
};
ProcessSighting lookAtProcess(unsigned long processId);

// Who runs this process, as the login told it (POSIX: $USER or $LOGNAME,
// else "uid N"; Windows: %USERNAME%).
std::string currentUserName();

}  // namespace platform
