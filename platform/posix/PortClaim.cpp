#include "platform/PortClaim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/FileLock.h"

namespace platform {
namespace {

// The device's own number where it is one; its path, made a file name,
// where it is not (a device that is gone, a test's stand-in).
std::string deviceKey(const std::string& device) {
    struct stat information {};
    if (stat(device.c_str(), &information) == 0 && S_ISCHR(information.st_mode))
        return "c" + std::to_string(major(information.st_rdev)) + "-" +
               std::to_string(minor(information.st_rdev));
    std::string key = "p";
    for (const char c : device) key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return key;
}

}  // namespace

PortClaim::~PortClaim() {
    close(static_cast<int>(file_));
}

std::string defaultClaimFolder() {
    return "/tmp";
}

PortClaimAttempt claimPort(const std::string& folder, const std::string& device,
                           const std::string& holder) {
    PortClaimAttempt attempt;
    const std::string path = folder + "/tarvel-port-" + deviceKey(device) + ".claim";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        attempt.reason = "cannot open " + path + ": " + std::strerror(errno);
        return attempt;
    }
    // Every user's stations share the claim.
    fchmod(fd, 0666);
    bool busy = false;
    if (!lockOpenFile(fd, LockWait::Try, busy, attempt.reason)) {
        if (busy) {
            char text[256] = {};
            const ssize_t got = pread(fd, text, sizeof text - 1, 0);
            attempt.heldBy =
                got > 0 ? std::string(text, static_cast<std::size_t>(got)) : "another station";
            attempt.reason.clear();
        }
        close(fd);
        return attempt;
    }
    if (ftruncate(fd, 0) == 0) [[maybe_unused]]
        const ssize_t written = pwrite(fd, holder.data(), holder.size(), 0);
    attempt.claim = std::make_unique<PortClaim>(fd);
    return attempt;
}

}  // namespace platform
