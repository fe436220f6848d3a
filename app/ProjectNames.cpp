#include "app/ProjectNames.h"

#include <string_view>

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
    return true;
}
