#include "platform/AppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/FileLock.h"
#include "platform/posix/Walk.h"

namespace platform {

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& reason) {
    std::string refusal;
    const int fd = posix::openWalked(path, O_RDWR | O_CREAT | O_APPEND, 0666, &refusal);
    if (fd < 0) {
        reason = refusal.empty() ? std::strerror(errno) : refusal;
        return nullptr;
    }
    return std::unique_ptr<AppendFile>(new AppendFile(fd));
}

AppendFile::~AppendFile() {
    close(static_cast<int>(handle_));
}

bool AppendFile::lock(std::string& reason) {
    bool busy = false;
    return lockOpenFile(handle_, LockWait::Block, busy, reason);
}

void AppendFile::unlock() {
    unlockOpenFile(handle_);
}

bool AppendFile::readFrom(std::uint64_t offset, std::string& bytes, std::string& reason,
                          std::size_t maxBytes) {
    bytes.clear();
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        const ssize_t got = pread(static_cast<int>(handle_), buffer,
                                  std::min(sizeof buffer, maxBytes - bytes.size()),
                                  static_cast<off_t>(offset + bytes.size()));
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            reason = std::strerror(errno);
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool AppendFile::append(std::string_view bytes, std::string& reason) {
    const ssize_t written = write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (written != static_cast<ssize_t>(bytes.size())) {
        reason = written < 0 ? std::strerror(errno) : "the disk is full";
        return false;
    }
    if (fsync(static_cast<int>(handle_)) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool AppendFile::truncate(std::uint64_t size, std::string& reason) {
    if (ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0 ||
        fsync(static_cast<int>(handle_)) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool AppendFile::isAt(const std::string& path) const {
    struct stat held {};
    if (fstat(static_cast<int>(handle_), &held) != 0)
        return false;
    const int named = posix::openWalked(path, O_PATH, 0, nullptr);
    if (named < 0)
        return false;
    struct stat now {};
    const bool same = fstat(named, &now) == 0 && now.st_dev == held.st_dev &&
                      now.st_ino == held.st_ino && held.st_nlink > 0;
    close(named);
    return same;
}

std::optional<std::uint64_t> AppendFile::size() const {
    struct stat held {};
    if (fstat(static_cast<int>(handle_), &held) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(held.st_size);
}

}  // namespace platform
