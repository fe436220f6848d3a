#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/Walk.h"

namespace platform {
namespace {

class PosixFileLock final : public FileLock {
  public:
    explicit PosixFileLock(int fd) : fd_(fd) {}
    ~PosixFileLock() override { close(fd_); }  // closing releases the lock

  private:
    int fd_;
};

}  // namespace

namespace {

// The lock file, made with exactly createMode when missing (the umask would
// narrow it), opened for reading where writing is not allowed; never through
// a link. reason tells of a step that is another user's link.
int openLockFile(const std::string& path, std::optional<unsigned> createMode, std::string& reason) {
    const auto parent = posix::walkToParent(path, &reason);
    if (!parent)
        return -1;
    const char* name = parent->leaf.c_str();
    const int flags = O_CLOEXEC | O_NOFOLLOW;
    int fd = openat(parent->folder(), name, O_RDWR | O_CREAT | O_EXCL | flags, 0666);
    if (fd >= 0) {
        if (createMode)
            fchmod(fd, static_cast<mode_t>(*createMode & 0666));
        return fd;
    }
    if (errno != EEXIST)
        return fd;
    fd = openat(parent->folder(), name, O_RDWR | flags);
    if (fd < 0 && errno == EACCES)
        fd = openat(parent->folder(), name, O_RDONLY | flags);
    return fd;
}

}  // namespace

bool lockOpenFile(std::intptr_t handle, LockWait wait, bool& busy, std::string& reason) {
    const int operation = wait == LockWait::Try ? LOCK_EX | LOCK_NB : LOCK_EX;
    busy = false;
    while (flock(static_cast<int>(handle), operation) != 0) {
        if (errno == EINTR)
            continue;
        busy = errno == EWOULDBLOCK;
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

void unlockOpenFile(std::intptr_t handle) {
    flock(static_cast<int>(handle), LOCK_UN);
}

LockAttempt lockFile(const std::string& path, unsigned timeoutMs,
                     std::optional<unsigned> createMode, const LockPause& pause) {
    LockAttempt attempt;
    const int fd = openLockFile(path, createMode, attempt.reason);
    if (fd < 0) {
        if (attempt.reason.empty())
            attempt.reason = std::strerror(errno);
        return attempt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!lockOpenFile(fd, LockWait::Try, attempt.busy, attempt.reason)) {
        if (!attempt.busy || std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            return attempt;
        }
        if (pause)
            pause(10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    attempt.lock = std::make_unique<PosixFileLock>(fd);
    return attempt;
}

}  // namespace platform
