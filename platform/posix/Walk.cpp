#include "platform/posix/Walk.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <utility>

namespace platform::posix {
namespace {

// Sets errno, and reason where asked, for a step that is another user's link.
int refuseLink(const std::string& linkPath, std::string* reason) {
    if (reason)
        *reason = linkPath + " is a link that another user made";
    errno = ELOOP;
    return -1;
}

// Opens name in folder without following a link; where name is a link, it
// is followed only when trusted.
int openStep(int folder, const std::string& name, const std::string& shownPath, int flags,
             mode_t mode, std::string* reason) {
    const int fd = openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || (errno != ELOOP && errno != ENOTDIR && errno != EMLINK))
        return fd;
    const int error = errno;
    struct stat info {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(info.st_mode)) {
        errno = error;
        return -1;
    }
    if (!trustedLinkOwner(info.st_uid))
        return refuseLink(shownPath, reason);
    return openat(folder, name.c_str(), flags | O_CLOEXEC, mode);
}

// The whole path opened in one call that refuses every link on the way. A
// path without links, the common case, then costs one call instead of two a
// step; -1 (with a link, or where the kernel lacks the call) leaves it to
// the walk, which decides alike.
int openWithoutAnyLink(const std::string& path, int flags, mode_t mode) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_NOFOLLOW | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = RESOLVE_NO_SYMLINKS;
    return static_cast<int>(syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
}

}  // namespace

bool trustedLinkOwner(uid_t owner) {
    return owner == geteuid() || owner == 0;
}

WalkedParent::~WalkedParent() {
    if (folder_ >= 0)
        close(folder_);
}

WalkedParent::WalkedParent(WalkedParent&& other) noexcept
    : leaf(std::move(other.leaf)), folder_(std::exchange(other.folder_, -1)) {}

void WalkedParent::descend(int folder) {
    if (folder_ >= 0)
        close(folder_);
    folder_ = folder;
}

std::optional<WalkedParent> walkToParent(const std::string& path, std::string* reason) {
    if (path.empty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    // Steps opened one by one could reach further than any path the rest of
    // the program, or the system, takes: keep to the same limit.
    if (path.size() >= PATH_MAX) {
        errno = ENAMETOOLONG;
        return std::nullopt;
    }
    const bool absolute = path.front() == '/';
    WalkedParent walked(open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (walked.folder() < 0)
        return std::nullopt;
    std::size_t start = 0;
    for (;;) {
        start = path.find_first_not_of('/', start);
        if (start == std::string::npos) {  // "/" itself: the folder is its own leaf
            walked.leaf.assign(1, '.');
            return walked;
        }
        const std::size_t end = path.find('/', start);
        if (end == std::string::npos || path.find_first_not_of('/', end) == std::string::npos) {
            walked.leaf = path.substr(start, end == std::string::npos ? end : end - start);
            return walked;
        }
        const int next = openStep(walked.folder(), path.substr(start, end - start),
                                  path.substr(0, end), O_PATH | O_DIRECTORY, 0, reason);
        if (next < 0)
            return std::nullopt;
        walked.descend(next);
        start = end;
    }
}

int openLeaf(const WalkedParent& parent, const std::string& path, int flags, mode_t mode,
             std::string* reason) {
    return openStep(parent.folder(), parent.leaf, path, flags, mode, reason);
}

int openWalked(const std::string& path, int flags, mode_t mode, std::string* reason) {
    if (!path.empty() && path.size() < PATH_MAX) {
        const int fd = openWithoutAnyLink(path, flags, mode);
        if (fd >= 0)
            return fd;
    }
    const auto parent = walkToParent(path, reason);
    return parent ? openLeaf(*parent, path, flags, mode, reason) : -1;
}

}  // namespace platform::posix
