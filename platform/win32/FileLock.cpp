#include "platform/FileLock.h"

#include <windows.h>

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

LockAttempt lockFile(const std::string& path, unsigned timeoutMs) {
    LockAttempt attempt;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
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
        Sleep(10);
    }
}

}  // namespace platform
