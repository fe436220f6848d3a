#pragma once

#include <memory>
#include <string>

namespace platform {

// An exclusive lock on a file that other programs take the same way, made
// when missing and never deleted: its presence means nothing, so a crash
// leaves no stale lock. Released when the object goes.
class FileLock {
  public:
    virtual ~FileLock() = default;
};

// The lock, or why there is none: another holder kept it for the whole wait
// (busy), or the file could not be opened or locked (reason).
struct LockAttempt {
    std::unique_ptr<FileLock> lock;
    bool busy = false;
    std::string reason;
};

// Takes the lock, trying for at most timeoutMs while another holder has it.
LockAttempt lockFile(const std::string& path, unsigned timeoutMs);

}  // namespace platform
