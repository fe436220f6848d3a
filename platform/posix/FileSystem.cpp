#include "platform/FileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/posix/Walk.h"

namespace platform {

const char kPathSeparator = '/';

std::string executableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return ".";
    std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool folderExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool entryExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool isPlainFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isPlainFile(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isForeignLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
           !posix::trustedLinkOwner(info.st_uid);
}

std::optional<unsigned> fileMode(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<unsigned>(info.st_mode & 07777);
}

std::optional<std::int64_t> lastChangeSeconds(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtime);
}

void removeEmptyFolder(const std::string& path) {
    rmdir(path.c_str());
}

bool regularFileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool runnableFileExists(const std::string& path) {
    return regularFileExists(path) && access(path.c_str(), X_OK) == 0;
}

bool createFolder(const std::string& path, std::string* reason) {
    std::string refusal;
    const auto parent = posix::walkToParent(path, &refusal);
    if (parent && mkdirat(parent->folder(), parent->leaf.c_str(), 0777) == 0)
        return true;
    if (reason)
        *reason = refusal.empty() ? std::strerror(errno) : refusal;
    return false;
}

bool ensureFolder(const std::string& path, std::string* reason) {
    std::string refusal;
    const auto parent = posix::walkToParent(path, &refusal);
    if (parent && mkdirat(parent->folder(), parent->leaf.c_str(), 0777) == 0)
        return true;
    if (parent && errno == EEXIST) {
        const int folder = posix::openLeaf(*parent, path, O_PATH | O_DIRECTORY, 0, &refusal);
        if (folder >= 0) {
            close(folder);
            return true;
        }
    }
    if (reason)
        *reason = refusal.empty() ? std::strerror(errno) : refusal;
    return false;
}

void setHidden(const std::string&, bool) {}

std::optional<std::string> networkFileSystem(const std::string& path) {
    struct statfs information {};
    if (statfs(path.c_str(), &information) != 0)
        return std::nullopt;
    // The magic numbers of statfs(2).
    switch (static_cast<unsigned long>(information.f_type)) {
        case 0x6969:
            return "NFS";
        case 0x517B:
        case 0xFF534D42:
        case 0xFE534D42:
            return "SMB/CIFS";
        case 0x5346414F:
            return "AFS";
        case 0x00C36400:
            return "Ceph";
        case 0x01021997:
            return "9P";
        case 0x564C:
            return "NCP";
        default:
            return std::nullopt;
    }
}

std::string fromAnsiCodePage(const std::string& text) {
    return text;
}

unsigned long currentProcessId() {
    return static_cast<unsigned long>(getpid());
}

namespace {

bool fail(std::string* reason, int error) {
    if (reason)
        *reason = std::strerror(error);
    return false;
}

bool fail(std::string* reason, const std::string& text) {
    if (reason)
        *reason = text;
    return false;
}

// A failed walk: another user's link, or the system's error.
bool failOpen(std::string* reason, const std::string& refusal) {
    return refusal.empty() ? fail(reason, errno) : fail(reason, refusal);
}

// Closes the descriptor when the scope ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the error a delayed write may only show here.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Six letters or digits, as mkstemp would choose them.
std::string randomSuffix() {
    static constexpr char kCharacters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kCharacters - 2);
    std::string suffix(6, ' ');
    for (char& c : suffix) c = kCharacters[pick(generator)];
    return suffix;
}

// An unnamed file in the folder that a crash leaves nowhere, with the mode a
// new file gets; where the file system has none, a hidden named one,
// ".<name>.XXXXXX".
int openTemporary(int folder, const std::string& name, std::string& named) {
    const int fd = openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        named = "." + name + "." + randomSuffix();
        const int descriptor =
            openat(folder, named.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

// Gives an unnamed file a hidden name of its own beside its target.
bool nameTemporary(int fd, int folder, const std::string& name, std::string& named) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        named = "." + name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
        if (linkat(fd, "", folder, named.c_str(), AT_EMPTY_PATH) == 0 ||
            linkat(AT_FDCWD, procPath.c_str(), folder, named.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Replaces the content of the file parent's leaf names, which is no link.
bool replaceInFolder(const posix::WalkedParent& parent, std::string_view bytes,
                     std::string* reason) {
    const int folder = parent.folder();
    const std::string& name = parent.leaf;
    struct stat old {};
    const bool exists = fstatat(folder, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(reason, "not a regular file");
    if (exists && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return fail(reason, "the file is read-only");

    std::string named;
    Descriptor file(openTemporary(folder, name, named));
    if (file.get() < 0)
        return fail(reason, errno);
    const auto discard = [&](int error) {
        if (!named.empty())
            unlinkat(folder, named.c_str(), 0);
        return fail(reason, error);
    };
    // A named temporary file is made 0666 less the umask by openat already.
    // The old owner where the process may give it; otherwise the process's own.
    if (exists && fchown(file.get(), old.st_uid, old.st_gid) != 0 && errno != EPERM)
        return discard(errno);
    if ((exists && fchmod(file.get(), old.st_mode & 07777) != 0) || !writeAll(file.get(), bytes) ||
        fsync(file.get()) != 0)
        return discard(errno);
    if (named.empty() && !nameTemporary(file.get(), folder, name, named))
        return discard(errno);
    if (!file.close() || renameat(folder, named.c_str(), folder, name.c_str()) != 0)
        return discard(errno);
    // The rename itself reaches the disk only with its folder.
    Descriptor folderHandle(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderHandle.get() >= 0)
        fsync(folderHandle.get());
    return true;
}

}  // namespace

bool readFileInPieces(const std::string& path, std::uint64_t maxBytes,
                      const std::function<bool(std::string_view)>& take, std::string* message) {
    const auto refuse = [&](const std::string& text) {
        if (message)
            *message = text;
        return false;
    };
    const auto failed = [&](int error) {
        return refuse("Cannot read " + path + ": " + std::strerror(error));
    };
    // Without blocking: a FIFO or a device in a file's place must not hang.
    std::string refusal;
    Descriptor file(posix::openWalked(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, 0, &refusal));
    if (file.get() < 0)
        return refusal.empty() ? failed(errno) : refuse(refusal);
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return failed(errno);
    if (!S_ISREG(info.st_mode))
        return refuse(path + " is not a regular file");
    const std::string tooLarge = path + " is larger than " + sizeText(maxBytes);
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return refuse(tooLarge);
    std::uint64_t total = 0;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(file.get(), buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // A file read in part is never taken for the whole file.
            return failed(errno);
        }
        total += static_cast<std::uint64_t>(got);
        // A file that grows while it is read.
        if (total > maxBytes)
            return refuse(tooLarge);
        if (!take(std::string_view(buffer, static_cast<std::size_t>(got))))
            return true;
    }
}

bool replaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    std::string refusal;
    const auto parent = posix::walkToParent(path, &refusal);
    if (!parent)
        return failOpen(reason, refusal);
    struct stat entry {};
    if (fstatat(parent->folder(), parent->leaf.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(entry.st_mode))
        return replaceInFolder(*parent, bytes, reason);
    // A link stays a link: the file it leads to is replaced, when this user
    // or root made the link.
    if (!posix::trustedLinkOwner(entry.st_uid))
        return fail(reason, path + " is a link that another user made");
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return fail(reason,
                    "the link leads to no file (" + std::string(std::strerror(errno)) + ")");
    const std::string target(resolved);
    free(resolved);
    const auto targetParent = posix::walkToParent(target, &refusal);
    if (!targetParent)
        return failOpen(reason, refusal);
    return replaceInFolder(*targetParent, bytes, reason);
}

bool renameFolderWithoutReplacing(const std::string& from, const std::string& to,
                                  std::string* reason, bool sync) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        // A file system without the flag: a link cannot replace, a folder
        // cannot be linked, so look first and take the small window.
        if (errno != EINVAL && errno != ENOSYS)
            return fail(reason, errno);
        if (entryExists(to))
            return fail(reason, EEXIST);
        if (rename(from.c_str(), to.c_str()) != 0)
            return fail(reason, errno);
    }
    if (sync) {
        syncFolder(to);
        syncFolder(folderOf(to));
    }
    return true;
}

void syncFolder(const std::string& path) {
    Descriptor handle(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.get() >= 0)
        fsync(handle.get());
}

bool writeNewFile(const std::string& path, std::string_view bytes, std::string* reason,
                  unsigned mode) {
    std::string refusal;
    Descriptor file(posix::openWalked(path, O_WRONLY | O_CREAT | O_EXCL,
                                      static_cast<mode_t>(mode & 0777), &refusal));
    if (file.get() < 0)
        return failOpen(reason, refusal);
    if (!writeAll(file.get(), bytes) || !file.close())
        return fail(reason, errno);
    return true;
}

bool syncFileSystem(const std::string& path) {
    Descriptor handle(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return handle.get() >= 0 && syncfs(handle.get()) == 0;
}

namespace {

bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

// A replacement's temporary file is ".<target>.<process>-<n>", or
// ".<target>.XXXXXX" where the file system has no unnamed files.
bool isReplacementLeftover(const std::string& entry, const std::string& target,
                           unsigned long* owner) {
    const std::string prefix = "." + target + ".";
    if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string suffix = entry.substr(prefix.size());
    const std::size_t dash = suffix.find('-');
    if (dash != std::string::npos && allDigits(suffix.substr(0, dash)) &&
        allDigits(suffix.substr(dash + 1)) && dash <= 10) {
        if (owner)
            *owner = std::stoul(suffix.substr(0, dash));
        return true;
    }
    const bool sixLettersOrDigits =
        suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0;
        });
    if (sixLettersOrDigits && owner)
        *owner = 0;
    return sixLettersOrDigits;
}

}  // namespace platform
