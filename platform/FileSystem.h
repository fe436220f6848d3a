#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The separator that joins the parts of a path on this platform.
extern const char kPathSeparator;

// Folder of the running program file, without a trailing separator.
std::string executableFolder();

// True when path names an existing folder; any error counts as "no folder".
bool folderExists(const std::string& path);

// True when anything stands at path: a file, a folder, a link (even one that
// leads nowhere) or a device.
bool entryExists(const std::string& path);

// True when path names a regular file, after links.
bool regularFileExists(const std::string& path);

// True when path names a regular file, after links, that this process may run.
bool runnableFileExists(const std::string& path);

// Creates this one folder (not its parents).
bool createFolder(const std::string& path);

// The whole content of a file, or nothing with the system's reason.
std::optional<std::string> readFileContents(const std::string& path, std::string* reason = nullptr);

// Replaces the file's content as one step: the bytes go to a temporary file in
// the same folder, are flushed to disk, and the temporary file is renamed over
// the old one. On failure the old file is left as it was and reason tells why.
// A file marked read-only is refused, like the read-only attribute elsewhere.
bool replaceFileContents(const std::string& path, std::string_view bytes,
                         std::string* reason = nullptr);

}  // namespace platform
