#include "platform/FileSystem.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace platform {

const char kPathSeparator = '\\';

namespace {

std::string systemMessage(DWORD error) {
    char buffer[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   buffer, sizeof buffer, nullptr);
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool fail(std::string* reason, DWORD error) {
    if (reason)
        *reason = systemMessage(error);
    return false;
}

}  // namespace

std::string executableFolder() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    const std::string path(buffer, length);
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool entryExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool createFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

std::optional<std::string> readFileContents(const std::string& path, std::string* reason) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fail(reason, GetLastError());
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool replaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    const DWORD old = GetFileAttributesA(path.c_str());
    if (old != INVALID_FILE_ATTRIBUTES &&
        (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return fail(reason, ERROR_ACCESS_DENIED);

    const std::string temporary = path + ".tmp" + std::to_string(GetCurrentProcessId());
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(reason, GetLastError());
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (ok) {
        ok = MoveFileExA(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        error = GetLastError();
    }
    if (ok)
        return true;
    DeleteFileA(temporary.c_str());
    return fail(reason, error);
}

}  // namespace platform
