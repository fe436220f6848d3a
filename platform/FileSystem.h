#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// True when path itself (not a link to one) is a folder, or a regular file.
bool isPlainFolder(const std::string& path);
bool isPlainFile(const std::string& path);

// True when path is a link (POSIX: a symbolic link; Windows: a reparse
// point) that a user other than the one this process runs as made. A link of
// one's own may be followed; one that another user made may lead a program
// with more rights than that user's where that user may not write.
bool isForeignLink(const std::string& path);

// True when path names a regular file, after links.
bool regularFileExists(const std::string& path);

// True when path names a regular file, after links, that this process may run.
bool runnableFileExists(const std::string& path);

// Makes the folder when missing; true when path is then a folder (reached,
// on POSIX, without a link that another user made), else reason says why.
bool ensureFolder(const std::string& path, std::string* reason);

// Creates this one folder (not its parents); reason tells why it could not.
bool createFolder(const std::string& path, std::string* reason = nullptr);

// Renames a folder, failing (with reason) when anything stands at to already.
// With sync, on POSIX the new entry and its folder reach the disk before it
// returns; without, a later syncFolder of to's folder does that.
bool renameFolderWithoutReplacing(const std::string& from, const std::string& to,
                                  std::string* reason = nullptr, bool sync = true);

// Writes a new file (failing when anything stands at path) in a folder that
// nobody else sees yet, with the permissions mode less the process's umask
// (POSIX). On POSIX it reaches the disk with the next syncFileSystem; on
// Windows at once.
bool writeNewFile(const std::string& path, std::string_view bytes, std::string* reason = nullptr,
                  unsigned mode = 0666);

// The permission bits of a file (POSIX), or nothing when it cannot be read.
// When the entry (not what a link names) last changed, in seconds since 1970.
std::optional<std::int64_t> lastChangeSeconds(const std::string& path);

std::optional<unsigned> fileMode(const std::string& path);

// Flushes all that was written to the file system holding path, in one step
// (POSIX); nothing to do on Windows, where writeNewFile flushed.
bool syncFileSystem(const std::string& path);

// Flushes a folder's entries to disk (POSIX).
void syncFolder(const std::string& path);

// Removes path and everything below it, following no link; what cannot be
// removed stays.
void removeTree(const std::string& path);

// Removes the folder only when it is empty.
void removeEmptyFolder(const std::string& path);

// The folder part of path, before its last separator ("/", and on Windows
// "\\" too), or nothing when path has no separator.
std::optional<std::string> parentFolder(const std::string& path);

// The names in a folder, hidden ones included; empty when it cannot be read.
std::vector<std::string> folderEntries(const std::string& folder);

// Marks a file or folder hidden or visible where the platform has such a mark
// (on POSIX the leading dot of our names already hides them).
void setHidden(const std::string& path, bool hidden);

// This process.
unsigned long currentProcessId();

// The kind of network file system that holds path (the folder of a file),
// such as "NFS" or "SMB/CIFS", or nothing for a local one. Locks there may be
// emulated, local to one host, or not passed on at all.
std::optional<std::string> networkFileSystem(const std::string& path);

// Text that an earlier version wrote in the system's ANSI code page, as
// UTF-8 (Windows); unchanged elsewhere.
std::string fromAnsiCodePage(const std::string& text);

// The largest document or settings file that is read.
inline constexpr std::size_t kLargestReadFile = 16u << 20;

// A size as messages give it: "16 MiB", or "N bytes" where it is no whole MiB.
std::string sizeText(std::uint64_t bytes);

// Hands a regular file's bytes (links followed), opened without blocking, to
// take a piece at a time, so that a file of any length is read in bounded
// memory; take returns false to stop early. False, and message says why, for
// what readFileContents refuses, with a limit of maxBytes.
bool readFileInPieces(const std::string& path, std::uint64_t maxBytes,
                      const std::function<bool(std::string_view)>& take,
                      std::string* message = nullptr);

// The whole content of a regular file (links followed) of at most
// kLargestReadFile bytes, opened without blocking; or nothing, and message
// says why: "<path> is not a regular file", "<path> is larger than 16 MiB",
// or "Cannot read <path>: <the system's reason>".
std::optional<std::string> readFileContents(const std::string& path,
                                            std::string* message = nullptr);

// Replaces the file's content as one step: the bytes go to a temporary file in
// the same folder, are flushed to disk, and the temporary file is renamed over
// the old one. On failure the old file is left as it was and reason tells why.
// A file marked read-only is refused, like the read-only attribute elsewhere.
bool replaceFileContents(const std::string& path, std::string_view bytes,
                         std::string* reason = nullptr);

// Whether entry, a name in a folder, is a temporary file that a replacement
// of target in that folder made and left behind. owner receives the process
// that made it where the name tells, 0 where it does not.
bool isReplacementLeftover(const std::string& entry, const std::string& target,
                           unsigned long* owner = nullptr);

// Removes, in folder, the temporary files that killed replacements of target
// left: regular files of exactly the shape replaceFileContents names them,
// never a folder, a link or anything else of that name. Under the writers'
// own lock every one is abandoned; without it, one whose maker may still run
// (or cannot be told) may be being written right now.
enum class LeftoverOwners { AllAbandoned, KeepWhileTheirMakerMayRun };
void removeReplacementLeftovers(const std::string& folder, const std::string& target,
                                LeftoverOwners owners);

}  // namespace platform
