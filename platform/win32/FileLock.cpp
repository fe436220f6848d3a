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

}  // namespace

namespace {

HANDLE openLockFile(const std::string& path, DWORD access) {
    return CreateFileW(toWide(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN, nullptr);
}

}  // namespace

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
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &whole)) {
            attempt.lock = std::make_unique<Win32FileLock>(file);
            return attempt;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION || GetTickCount64() >= deadline) {
            attempt.busy = error == ERROR_LOCK_VIOLATION;
            attempt.reason = "cannot lock (error " + std::to_string(error) + ")";
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
