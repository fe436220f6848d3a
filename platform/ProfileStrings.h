#pragma once

#include <string>

// The settings file: "[section]" and "key=value" lines. Section and key names
// compare without regard to case; values are trimmed of surrounding blanks.
namespace platform {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);

// Replaces the first matching key, or appends the key to its section, or
// appends the section; every other line stays as it was. Creates the file on
// first write. Returns false when the file cannot be written.
bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace platform
