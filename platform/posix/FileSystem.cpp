#include "platform/FileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && info.st_uid != geteuid();
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
    if (mkdir(path.c_str(), 0777) == 0)
        return true;
    if (reason)
        *reason = std::strerror(errno);
    return false;
}

void setHidden(const std::string&, bool) {}

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

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a replacement must write: the path itself, or the file its link
// leads to, so that the link stays a link.
std::optional<std::string> replacementTarget(const std::string& path, std::string* reason) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) {
        fail(reason, "the link leads to no file (" + std::string(std::strerror(errno)) + ")");
        return std::nullopt;
    }
    std::string target(resolved);
    free(resolved);
    return target;
}

// The process's umask as the kernel reports it, without setting it: another
// thread may create a file at any moment.
std::optional<mode_t> currentUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return std::nullopt;
    std::optional<mode_t> mask;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

// An unnamed file in folder that a crash leaves nowhere, with the mode a new
// file gets; where the file system has none, a hidden named one.
int openTemporary(const std::string& folder, const std::string& name, std::string& named) {
    const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    named = folder + "/." + name + ".XXXXXX";
    const int descriptor = mkostemp(named.data(), O_CLOEXEC);
    // mkostemp makes 0600; a new file is 0666 less the umask. Where the umask
    // cannot be read, the narrower mode stays.
    const auto mask = currentUmask();
    if (descriptor >= 0 && mask)
        fchmod(descriptor, 0666 & ~*mask);
    return descriptor;
}

// Gives an unnamed file a hidden name of its own beside its target.
bool nameTemporary(int fd, const std::string& folder, const std::string& name, std::string& named) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        named =
            folder + "/." + name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
        if (linkat(fd, "", AT_FDCWD, named.c_str(), AT_EMPTY_PATH) == 0 ||
            linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

}  // namespace

std::optional<std::string> readFileContents(const std::string& path, std::string* message) {
    const auto refuse = [&](const std::string& text) -> std::optional<std::string> {
        if (message)
            *message = text;
        return std::nullopt;
    };
    const auto failed = [&](int error) {
        return refuse("Cannot read " + path + ": " + std::strerror(error));
    };
    // Without blocking: a FIFO or a device in a document's place must not hang.
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0)
        return failed(errno);
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return failed(errno);
    if (!S_ISREG(info.st_mode))
        return refuse(path + " is not a regular file");
    if (static_cast<unsigned long long>(info.st_size) > kLargestReadFile)
        return refuse(path + " is larger than 16 MiB");
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(file.get(), buffer, sizeof buffer);
        if (got == 0)
            return content;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // A file read in part is never taken for the whole file.
            return failed(errno);
        }
        content.append(buffer, static_cast<std::size_t>(got));
        // A file that grows while it is read.
        if (content.size() > kLargestReadFile)
            return refuse(path + " is larger than 16 MiB");
    }
}

bool replaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    const auto target = replacementTarget(path, reason);
    if (!target)
        return false;
    struct stat old {};
    const bool exists = stat(target->c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(reason, "not a regular file");
    if (exists && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return fail(reason, "the file is read-only");

    const std::string folder = folderOf(*target);
    const std::string name = nameOf(*target);
    std::string named;
    Descriptor file(openTemporary(folder, name, named));
    if (file.get() < 0)
        return fail(reason, errno);
    const auto discard = [&](int error) {
        if (!named.empty())
            unlink(named.c_str());
        return fail(reason, error);
    };

    // The old owner where the process may give it; otherwise the process's own.
    if (exists && fchown(file.get(), old.st_uid, old.st_gid) != 0 && errno != EPERM)
        return discard(errno);
    if ((exists && fchmod(file.get(), old.st_mode & 07777) != 0) || !writeAll(file.get(), bytes) ||
        fsync(file.get()) != 0)
        return discard(errno);
    if (named.empty() && !nameTemporary(file.get(), folder, name, named))
        return discard(errno);
    if (!file.close() || rename(named.c_str(), target->c_str()) != 0)
        return discard(errno);
    // The rename itself reaches the disk only with its folder.
    Descriptor folderHandle(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderHandle.get() >= 0)
        fsync(folderHandle.get());
    return true;
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
    Descriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         static_cast<mode_t>(mode & 0777)));
    if (file.get() < 0 || !writeAll(file.get(), bytes) || !file.close())
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
