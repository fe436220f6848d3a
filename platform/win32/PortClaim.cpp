#include "platform/PortClaim.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/FileLock.h"
#include "platform/win32/Wide.h"

namespace platform {
namespace {

// The COM name, whichever way it was written ("com3", "\\.\COM3").
std::string deviceKey(const std::string& device) {
    std::string key = device.substr(
        device.find_last_of("\\/") == std::string::npos ? 0 : device.find_last_of("\\/") + 1);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

}  // namespace

PortClaim::~PortClaim() {
    CloseHandle(reinterpret_cast<HANDLE>(file_));
}

std::string defaultClaimFolder() {
    const wchar_t* data = _wgetenv(L"ProgramData");
    return fromWide(std::wstring(data ? data : L"C:\\ProgramData") + L"\\Tarvel");
}

PortClaimAttempt claimPort(const std::string& folder, const std::string& device,
                           const std::string& holder) {
    PortClaimAttempt attempt;
    CreateDirectoryW(toWide(folder).c_str(), nullptr);
    const std::wstring path = toWide(folder) + L"\\port-" + toWide(deviceKey(device)) + L".claim";
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        attempt.reason =
            "cannot open " + fromWide(path) + " (error " + std::to_string(GetLastError()) + ")";
        return attempt;
    }
    const auto handle = reinterpret_cast<std::intptr_t>(file);
    bool busy = false;
    if (!lockOpenFile(handle, LockWait::Try, busy, attempt.reason)) {
        if (busy) {
            char text[256] = {};
            DWORD got = 0;
            ReadFile(file, text, sizeof text - 1, &got, nullptr);
            attempt.heldBy = got > 0 ? std::string(text, got) : "another station";
            attempt.reason.clear();
        }
        CloseHandle(file);
        return attempt;
    }
    DWORD written = 0;
    SetEndOfFile(file);
    WriteFile(file, holder.data(), static_cast<DWORD>(holder.size()), &written, nullptr);
    attempt.claim = std::make_unique<PortClaim>(handle);
    return attempt;
}

}  // namespace platform
