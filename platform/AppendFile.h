#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A file that several programs append to, each under an exclusive lock that
// the others take the same way (flock on POSIX, LockFileEx on Windows), so
// that what one appends never mixes with another's and each sees the other's
// lines before it appends its own. The lock does not keep readers out.
class AppendFile {
  public:
    // Opens path for reading and appending, made when missing; nothing, and
    // reason says why, when it cannot be.
    static std::unique_ptr<AppendFile> open(const std::string& path, std::string& reason);
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Waits for the lock as long as another holder keeps it.
    bool lock(std::string& reason);
    void unlock();

    // The bytes from offset to the end, or the first maxBytes of them.
    bool readFrom(std::uint64_t offset, std::string& bytes, std::string& reason,
                  std::size_t maxBytes = SIZE_MAX);
    // Appends bytes in one write and flushes them to the disk.
    bool append(std::string_view bytes, std::string& reason);
    // Cuts the file to size bytes and flushes that to the disk.
    bool truncate(std::uint64_t size, std::string& reason);
    // Whether path still names this file, and how long the file is: a file
    // deleted, replaced or cut under its writer shows here.
    bool isAt(const std::string& path) const;
    std::optional<std::uint64_t> size() const;

  private:
    explicit AppendFile(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
};

// Holds an AppendFile's lock for a scope.
class AppendFileLock {
  public:
    explicit AppendFileLock(AppendFile& file) : file_(file) {}
    ~AppendFileLock() {
        if (held_)
            file_.unlock();
    }
    AppendFileLock(const AppendFileLock&) = delete;
    AppendFileLock& operator=(const AppendFileLock&) = delete;
    bool take(std::string& reason) { return held_ = file_.lock(reason); }

  private:
    AppendFile& file_;
    bool held_ = false;
};

}  // namespace platform
