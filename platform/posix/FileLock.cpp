#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

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

LockAttempt lockFile(const std::string& path, unsigned timeoutMs) {
    LockAttempt attempt;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        attempt.reason = std::strerror(errno);
        return attempt;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            attempt.busy = errno == EWOULDBLOCK;
            attempt.reason = std::strerror(errno);
            close(fd);
            return attempt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    attempt.lock = std::make_unique<PosixFileLock>(fd);
    return attempt;
}

}  // namespace platform
