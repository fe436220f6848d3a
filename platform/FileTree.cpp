#include <filesystem>
#include <system_error>

#include "platform/FileSystem.h"

// The standard library carries these to either platform.
namespace platform {

void removeTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
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
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

}  // namespace platform
