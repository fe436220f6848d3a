#include "platform/Host.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

namespace {

std::uint64_t asNumber(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A boot time read twice differs by the moment between the two clocks' reads.
constexpr long long kBootTimeToleranceSeconds = 5;

}  // namespace

HostIdentity thisHost() {
    HostIdentity identity;
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    if (GetComputerNameA(name, &length))
        identity.host.assign(name, length);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t bootTime = asNumber(now) - GetTickCount64() * 10000ULL;
    identity.boot = std::to_string(bootTime / 10000000ULL);
    return identity;
}

bool sameBoot(const std::string& a, const std::string& b) {
    char* endA = nullptr;
    char* endB = nullptr;
    const long long secondsA = std::strtoll(a.c_str(), &endA, 10);
    const long long secondsB = std::strtoll(b.c_str(), &endB, 10);
    if (a.empty() || b.empty() || *endA != '\0' || *endB != '\0')
        return a == b;
    return std::llabs(secondsA - secondsB) <= kBootTimeToleranceSeconds;
}

std::optional<std::uint64_t> processStartTime(unsigned long processId) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
    if (!process)
        return std::nullopt;
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD code = 0;
    std::optional<std::uint64_t> start;
    if (GetExitCodeProcess(process, &code) && code == STILL_ACTIVE &&
        GetProcessTimes(process, &created, &exited, &kernel, &user))
        start = asNumber(created);
    CloseHandle(process);
    return start;
}

std::string currentUserName() {
    const char* name = std::getenv("USERNAME");
    return name ? name : "";
}

}  // namespace platform
