#include "project/ProjectNames.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "common/Utf8.h"
#include "platform/FileSystem.h"
#include "project/ProjectPaths.h"

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

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 (and COM or
// LPT with a superscript 1, 2 or 3) name devices on Windows, in any case,
// with any extension, and with blanks between the name and the extension.
bool isWindowsDeviceName(const std::string& part) {
    std::string stem = part.substr(0, part.find('.'));
    stem.erase(stem.find_last_not_of(' ') + 1);
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (stem == device)
            return true;
    }
    if (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)
        return false;
    const std::string number = stem.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
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
    if (!isNameInsideFolder(name) || !isValidUtf8(name) ||
        name.find(kUtf8ByteOrderMark) != std::string::npos)
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
        // One spelling per project: no empty part ("P/", "P//x") and no ".".
        if (part.empty() || part == ".")
            return false;
        // Windows drops a trailing dot or blank, and keeps device names.
        if (part.back() == '.' || part.back() == ' ')
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
        if (part == "bin" && platform::entryExists(ProjectPaths(folder).generalParameters))
            return true;
        folder += platform::kPathSeparator + part;
    }
    return false;
}
