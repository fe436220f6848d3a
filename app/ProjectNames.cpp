#include "app/ProjectNames.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace {

std::vector<std::string> nameParts(const std::string& name) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        parts.push_back(name.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 name devices on Windows, in
// any case and with any extension.
bool isWindowsDeviceName(const std::string& part) {
    std::string stem = part.substr(0, part.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

bool isNameInsideFolder(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return false;
    if (name.size() >= 2 && name[1] == ':')
        return false;  // a drive
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = name.find_first_of("/\\", start);
        const std::size_t stop = end == std::string::npos ? name.size() : end;
        if (name.compare(start, stop - start, "..") == 0)
            return false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

bool isPortableProjectName(const std::string& name) {
    if (!isNameInsideFolder(name))
        return false;
    constexpr std::string_view kBlanks = " \t";
    if (kBlanks.find(name.front()) != std::string_view::npos ||
        kBlanks.find(name.back()) != std::string_view::npos)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F ||
            std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return false;
    }
    // Windows reads a backslash as a separator, so a Linux name with one
    // would not come back as the same project.
    if (platform::kPathSeparator == '/' && name.find('\\') != std::string::npos)
        return false;
    for (const std::string& part : nameParts(name)) {
        // Windows drops a trailing dot or blank, and keeps device names.
        if (!part.empty() && (part.back() == '.' || part.back() == ' '))
            return false;
        if (isWindowsDeviceName(part))
            return false;
    }
    return true;
}

bool isProjectsFolderItself(const std::string& name) {
    const auto parts = nameParts(name);
    return std::all_of(parts.begin(), parts.end(),
                       [](const std::string& part) { return part.empty() || part == "."; });
}

bool reachesIntoABinFolder(const std::string& projectsFolder, const std::string& name) {
    std::string folder = projectsFolder;
    for (const std::string& part : nameParts(name)) {
        if (part == "bin" &&
            platform::entryExists(folder + platform::kPathSeparator + "pargen.xml"))
            return true;
        folder += platform::kPathSeparator + part;
    }
    return false;
}
