#pragma once

#include <optional>
#include <string>

// What a file held when it was looked at: its bytes, or that it was absent
// (or could not be read), so that a writer can tell whether another program
// changed it since.
struct FileSnapshot {
    bool present = false;
    std::optional<std::string> bytes;
    bool operator==(const FileSnapshot&) const = default;
};

FileSnapshot takeFileSnapshot(const std::string& path);
