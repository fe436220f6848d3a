#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

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

bool fileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool entryExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && lstat(path.c_str(), &info) == 0;
}

bool createFolder(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0;
}

std::optional<std::string> readFileContents(const std::string& path, std::string* reason) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (reason)
            *reason = std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        if (reason)
            *reason = "read error";
        return std::nullopt;
    }
    return content.str();
}

namespace {

bool fail(std::string* reason, const std::string& text) {
    if (reason)
        *reason = text;
    return false;
}

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

}  // namespace

bool replaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    struct stat old {};
    const bool exists = stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(reason, "not a regular file");
    if (exists && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return fail(reason, "the file is read-only");

    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return fail(reason, std::strerror(errno));

    const mode_t mode = exists ? (old.st_mode & 07777) : [] {
        const mode_t mask = umask(0);
        umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    bool ok = fchmod(fd, mode) == 0 && writeAll(fd, bytes) && fsync(fd) == 0;
    const int writeErrno = errno;
    ok = (close(fd) == 0) && ok;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    const std::string text = std::strerror(ok ? errno : writeErrno);
    unlink(temporary.c_str());
    return fail(reason, text);
}

}  // namespace platform
