#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// How the wait between two attempts is spent; by default the thread sleeps.
// A window passes one that keeps its event loop running.
using LockPause = std::function<void(unsigned milliseconds)>;

// The one way files are locked here, on a file already open: exclusively,
// and (Windows) on one byte far beyond any end of file, so that the lock never
// keeps another handle from the data. With Try, busy tells when another
// holder has it; otherwise reason tells why it could not be taken.
enum class LockWait { Block, Try };
bool lockOpenFile(std::intptr_t handle, LockWait wait, bool& busy, std::string& reason);
void unlockOpenFile(std::intptr_t handle);

// Takes the lock, trying for at most timeoutMs while another holder has it.
// A missing lock file is made with the permission bits createMode (POSIX),
// or 0666 less the umask without one; where it may not be opened for writing
// it is opened for reading, which locks too.
LockAttempt lockFile(const std::string& path, unsigned timeoutMs,
                     std::optional<unsigned> createMode = std::nullopt,
                     const LockPause& pause = {});

}  // namespace platform
