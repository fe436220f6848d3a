#include "support/TempFolder.h"

#include "platform/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <chrono>
#endif

TempFolder::TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate =
            std::filesystem::temp_directory_path() / ("tarvel-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Read-only entries made by tests must not stop the clean-up.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    platform::removeTree(path_);
}

std::string TempFolder::operator/(const std::string& name) const {
    return path_ + platform::kPathSeparator + native(name);
}

std::string native(std::string path) {
    for (char& c : path) {
        if (c == '/')
            c = platform::kPathSeparator;
    }
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void makeOlder(const std::string& path, int seconds) {
#ifdef _WIN32
    // The standard library cannot set a folder's time there.
    const HANDLE entry = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    FILETIME written{};
    GetFileTime(entry, nullptr, nullptr, &written);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = written.dwLowDateTime;
    ticks.HighPart = written.dwHighDateTime;
    ticks.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000ULL;
    written.dwLowDateTime = ticks.LowPart;
    written.dwHighDateTime = ticks.HighPart;
    SetFileTime(entry, nullptr, nullptr, &written);
    CloseHandle(entry);
#else
    const auto now = std::filesystem::last_write_time(path);
    std::filesystem::last_write_time(path, now - std::chrono::seconds(seconds));
#endif
}

bool makeAnotherUsersLink(const std::string& target, const std::string& link) {
#ifdef _WIN32
    (void)target;
    (void)link;
    return false;
#else
    if (geteuid() != 0)
        return false;
    std::filesystem::create_symlink(target, link);
    return lchown(link.c_str(), 12345, 12345) == 0;
#endif
}
