#include "platform/FileLock.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

class Win32FileLock final : public FileLock {
  public:
    explicit Win32FileLock(HANDLE file) : file_(file) {}
    ~Win32FileLock() override { CloseHandle(file_); }  // closing releases the lock

  private:
    HANDLE file_;
};

// One byte far beyond any end of file: a locked range keeps other handles
// from reading or writing it, which the data must never be.
OVERLAPPED lockRange() {
    OVERLAPPED range{};
    range.Offset = 0xFFFFFFFE;
    range.OffsetHigh = 0x7FFFFFFF;
    return range;
}

HANDLE openLockFile(const std::string& path, DWORD access) {
    return CreateFileW(toWide(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN, nullptr);
}

}  // namespace

bool lockOpenFile(std::intptr_t handle, LockWait wait, bool& busy, std::string& reason) {
    OVERLAPPED range = lockRange();
    const DWORD flags =
        LOCKFILE_EXCLUSIVE_LOCK | (wait == LockWait::Try ? LOCKFILE_FAIL_IMMEDIATELY : DWORD{0});
    busy = false;
    if (LockFileEx(reinterpret_cast<HANDLE>(handle), flags, 0, 1, 0, &range))
        return true;
    const DWORD error = GetLastError();
    busy = error == ERROR_LOCK_VIOLATION;
    reason = "cannot lock (error " + std::to_string(error) + ")";
    return false;
}

void unlockOpenFile(std::intptr_t handle) {
    OVERLAPPED range = lockRange();
    UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &range);
}

LockAttempt lockFile(const std::string& path, unsigned timeoutMs, std::optional<unsigned>,
                     const LockPause& pause) {
    LockAttempt attempt;
    HANDLE file = openLockFile(path, GENERIC_READ | GENERIC_WRITE);
    // LockFileEx locks a handle opened for reading too.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        file = openLockFile(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        attempt.reason = "cannot open the lock file (error " + std::to_string(GetLastError()) + ")";
        return attempt;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    const auto handle = reinterpret_cast<std::intptr_t>(file);
    for (;;) {
        if (lockOpenFile(handle, LockWait::Try, attempt.busy, attempt.reason)) {
            attempt.lock = std::make_unique<Win32FileLock>(file);
            return attempt;
        }
        if (!attempt.busy || GetTickCount64() >= deadline) {
            CloseHandle(file);
            return attempt;
        }
        if (pause)
            pause(10);
        else
            Sleep(10);
    }
}

}  // namespace platform
