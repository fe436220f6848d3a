#include "platform/Host.h"

#include <windows.h>

#include <cstdlib>

#include "platform/win32/Wide.h"

namespace platform {

namespace {

std::uint64_t asNumber(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A boot time read twice differs by the moment between the two clocks' reads.
constexpr long long kBootTimeToleranceSeconds = 5;
constexpr const char* kBootIdPrefix = "id:";

// The count of boots the system keeps; a clock step does not move it.
std::optional<DWORD> bootCounter() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
                     L"Management\\PrefetchParameters",
                     L"BootId", RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<long long> bootSeconds(const std::string& text) {
    char* end = nullptr;
    const long long seconds = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        return std::nullopt;
    return seconds;
}

}  // namespace

HostIdentity thisHost() {
    HostIdentity identity;
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &length))
        identity.host = fromWide(std::wstring(name, length));
    if (const auto counter = bootCounter()) {
        identity.boot = kBootIdPrefix + std::to_string(*counter);
        return identity;
    }
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t bootTime = asNumber(now) - GetTickCount64() * 10000ULL;
    identity.boot = std::to_string(bootTime / 10000000ULL);
    return identity;
}

BootComparison compareBoots(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return BootComparison::Unknown;
    const bool counterA = a.rfind(kBootIdPrefix, 0) == 0;
    const bool counterB = b.rfind(kBootIdPrefix, 0) == 0;
    if (counterA && counterB)
        return a == b ? BootComparison::Same : BootComparison::Other;
    const auto secondsA = bootSeconds(a);
    const auto secondsB = bootSeconds(b);
    if (!secondsA || !secondsB)
        return BootComparison::Unknown;
    return std::llabs(*secondsA - *secondsB) <= kBootTimeToleranceSeconds ? BootComparison::Same
                                                                          : BootComparison::Other;
}

ProcessSighting lookAtProcess(unsigned long processId) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
    if (!process) {
        // Another user's process, or a protected one: it is there, unread.
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return {true, std::nullopt};
        return {};
    }
    FILETIME created{}, exited{}, kernel{}, user{};
    DWORD code = 0;
    ProcessSighting seen;
    if (!GetExitCodeProcess(process, &code) || code == STILL_ACTIVE) {
        seen.present = true;
        if (GetProcessTimes(process, &created, &exited, &kernel, &user))
            seen.start = asNumber(created);
    }
    CloseHandle(process);
    return seen;
}

std::string currentUserName() {
    const wchar_t* name = _wgetenv(L"USERNAME");
    return name ? fromWide(name) : "";
}

}  // namespace platform
