#include "platform/PortWatch.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

constexpr const wchar_t* kSerialComm = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr unsigned kRescanMs = 500;

HKEY keyOf(std::intptr_t handle) {
    return reinterpret_cast<HKEY>(handle);
}

}  // namespace

// notifier_ is the event the registry sets, watched_ the open key.
PortWatch::PortWatch(std::string folder)
    : folder_(std::move(folder)),
      notifier_(reinterpret_cast<std::intptr_t>(CreateEventW(nullptr, FALSE, FALSE, nullptr))) {}

PortWatch::~PortWatch() {
    if (watched_ != -1)
        RegCloseKey(keyOf(watched_));
    CloseHandle(reinterpret_cast<HANDLE>(notifier_));
}

std::map<std::string, std::string> PortWatch::ports() const {
    std::map<std::string, std::string> found;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return found;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameSize = sizeof name / sizeof *name;
        wchar_t data[256] = {};
        DWORD dataSize = sizeof data - sizeof *data;  // bytes, the last zero kept
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameSize, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS)
            break;
        if (type == REG_SZ && data[0] != L'\0') {
            const std::string port = fromWide(data);
            found.emplace(port, port);
        }
    }
    RegCloseKey(key);
    return found;
}

bool PortWatch::waitForChange(unsigned timeoutMs) {
    const HANDLE event = reinterpret_cast<HANDLE>(notifier_);
    if (watched_ == -1) {  // the key is made with the first port
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_NOTIFY | KEY_READ, &key) ==
            ERROR_SUCCESS)
            watched_ = reinterpret_cast<std::intptr_t>(key);
    }
    // A notification is armed for one change: arm it again each time.
    if (watched_ != -1 &&
        RegNotifyChangeKeyValue(keyOf(watched_), FALSE,
                                REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event,
                                TRUE) != ERROR_SUCCESS) {
        RegCloseKey(keyOf(watched_));
        watched_ = -1;
    }
    return WaitForSingleObject(event, std::min(timeoutMs, kRescanMs)) == WAIT_OBJECT_0;
}

}  // namespace platform
