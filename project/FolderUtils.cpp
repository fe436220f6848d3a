#include "project/FolderUtils.h"

#include "platform/FileSystem.h"

bool FolderExists(const std::string& path) {
    return platform::folderExists(path);
}

bool ForceFolder(const std::string& path) {
    std::string folder = path;
    if (!folder.empty() && folder.back() == platform::kPathSeparator)
        folder.pop_back();
    if (folder.size() < 3 || FolderExists(folder))
        return true;
    // A drive colon ends the parent only where paths have drives.
    const std::string parentEnds = platform::kPathSeparator == '\\' ? "\\:" : "/";
    const std::size_t last = folder.find_last_of(parentEnds);
    const std::string parent =
        last == std::string::npos ? std::string() : folder.substr(0, last + 1);
    if (parent == folder)
        return true;
    return ForceFolder(parent) && platform::createFolder(folder);
}
