#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Names are UTF-8 inside the program; a narrow path given to the standard
// library on Windows would be read in the ANSI code page instead.
inline std::filesystem::path nativePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace platform
