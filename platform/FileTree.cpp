#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"
#include "platform/NativePath.h"
#include "platform/ProcessIdentity.h"

// What either platform shares: the standard library carries these, or the
// platform's own functions do.
namespace platform {

std::string sizeText(std::uint64_t bytes) {
    return bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MiB"
                                   : std::to_string(bytes) + " bytes";
}

std::optional<std::string> readFileContents(const std::string& path, std::string* message) {
    std::string content;
    if (!readFileInPieces(
            path, kLargestReadFile,
            [&](std::string_view piece) {
                content.append(piece);
                return true;
            },
            message))
        return std::nullopt;
    return content;
}

namespace {

// Each entry is tried once, a link as itself: libstdc++'s remove_all can
// loop for ever on Windows over an entry it cannot remove (a file that
// another program holds open).
void removeEntryAndWhatItHolds(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (error)
        return;
    if (std::filesystem::is_directory(status)) {
        std::vector<std::filesystem::path> entries;
        for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
             it.increment(error))
            entries.push_back(it->path());
        for (const auto& entry : entries) removeEntryAndWhatItHolds(entry);
    }
    std::filesystem::remove(path, error);
}

}  // namespace

void removeTree(const std::string& path) {
    removeEntryAndWhatItHolds(nativePath(path));
}

std::optional<std::string> parentFolder(const std::string& path) {
    const std::size_t split = path.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
    if (split == std::string::npos)
        return std::nullopt;
    return path.substr(0, split);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(nativePath(folder), error), end;
         !error && it != end; it.increment(error))
        names.push_back(utf8Path(it->path().filename()));
    return names;
}

void removeReplacementLeftovers(const std::string& folder, const std::string& target,
                                LeftoverOwners owners) {
    for (const std::string& entry : folderEntries(folder)) {
        unsigned long owner = 0;
        if (!isReplacementLeftover(entry, target, &owner))
            continue;
        if (owners == LeftoverOwners::KeepWhileTheirMakerMayRun &&
            (owner == 0 || mayBeRunning(processOnThisHost(owner))))
            continue;
        // Only a file of ours: a folder or a link of that name is the user's.
        const std::string path = folder + kPathSeparator + entry;
        std::error_code ignored;
        if (isPlainFile(path))
            std::filesystem::remove(nativePath(path), ignored);
    }
}

}  // namespace platform
