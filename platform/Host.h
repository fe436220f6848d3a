#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What tells this machine and its current boot from others: the host name,
// and the boot's identity (Linux: its boot id; Windows: the boot time in
// seconds).
struct HostIdentity {
    std::string host;
    std::string boot;
};
HostIdentity thisHost();

// Whether two boot identities of this host name the same boot. The Windows
// boot time is computed from two clocks and may differ by a moment.
bool sameBoot(const std::string& a, const std::string& b);

// When a running process started, in the platform's units (Linux: clock ticks
// since boot; Windows: its creation time), or nothing when no process runs
// with that id. A process id is reused; the pair of both is not.
std::optional<std::uint64_t> processStartTime(unsigned long processId);

// Who runs this process, as the login told it (POSIX: $USER or $LOGNAME,
// else "uid N"; Windows: %USERNAME%).
std::string currentUserName();

}  // namespace platform
