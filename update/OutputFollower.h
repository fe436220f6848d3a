#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class AppendFile;
}

// Follows a file that a running program appends its output to, reading only
// what came since the last look; the file is shared, never locked.
class OutputFollower {
  public:
    explicit OutputFollower(std::string path, std::size_t keptBytes = 4096);
    ~OutputFollower();

    // The bytes appended since the last call, or the first maxBytes of them;
    // empty when none came or the file cannot be read (yet).
    std::string readNew(std::size_t maxBytes = SIZE_MAX);
    // The last keptBytes bytes read so far.
    const std::string& tail() const { return tail_; }

  private:
    std::string path_;
    std::size_t keptBytes_;
    std::unique_ptr<platform::AppendFile> file_;
    std::uint64_t read_ = 0;
    std::string tail_;
};
