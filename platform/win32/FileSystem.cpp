#include "platform/FileSystem.h"

#include <windows.h>
// windows.h first
#include <aclapi.h>

#include <atomic>
#include <vector>

#include "platform/win32/Wide.h"

namespace platform {

const char kPathSeparator = '\\';

namespace {

std::string systemMessage(DWORD error) {
    wchar_t buffer[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   buffer, sizeof buffer / sizeof *buffer, nullptr);
    std::string text = fromWide(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool fail(std::string* reason, DWORD error) {
    if (reason)
        *reason = systemMessage(error);
    return false;
}

bool fail(std::string* reason, const char* text) {
    if (reason)
        *reason = text;
    return false;
}

}  // namespace

std::string executableFolder() {
    // Long enough for any path the system gives; it says when it cut one.
    std::wstring buffer(32768, L'\0');
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    const std::string path = fromWide(std::wstring_view(buffer.data(), length));
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool entryExists(const std::string& path) {
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool regularFileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The shell runs any file it has an action for; a file that is there is all
// that can be checked ahead.
bool runnableFileExists(const std::string& path) {
    return regularFileExists(path);
}

bool createFolder(const std::string& path, std::string* reason) {
    return CreateDirectoryW(toWide(path).c_str(), nullptr) != 0 || fail(reason, GetLastError());
}

bool renameFolderWithoutReplacing(const std::string& from, const std::string& to,
                                  std::string* reason, bool) {
    return MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0 ||
           fail(reason, GetLastError());
}

bool isPlainFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isPlainFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

namespace {

// The user this process runs as.
std::vector<BYTE> processUser() {
    HANDLE token = nullptr;
    std::vector<BYTE> user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

}  // namespace

bool isForeignLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // The link itself, not what it leads to.
    const HANDLE link = CreateFileW(
        toWide(path).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (link == INVALID_HANDLE_VALUE)
        return true;  // an owner that cannot be read is nobody's we know
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool read = GetSecurityInfo(link, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                      nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS;
    CloseHandle(link);
    const std::vector<BYTE> user = processUser();
    const bool own = read && !user.empty() &&
                     EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
    LocalFree(descriptor);
    return !own;
}

std::optional<unsigned> fileMode(const std::string& path) {
    if (GetFileAttributesW(toWide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return 0666u;
}

std::optional<std::int64_t> lastChangeSeconds(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    // 100 ns steps since 1601 to seconds since 1970.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

void removeEmptyFolder(const std::string& path) {
    RemoveDirectoryW(toWide(path).c_str());
}

bool writeNewFile(const std::string& path, std::string_view bytes, std::string* reason, unsigned) {
    const HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(reason, GetLastError());
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    return ok || fail(reason, error);
}

bool syncFileSystem(const std::string&) {
    return true;
}

void syncFolder(const std::string&) {}

bool ensureFolder(const std::string& path, std::string* reason) {
    return createFolder(path, reason) || folderExists(path);
}

void setHidden(const std::string& path, bool hidden) {
    const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(toWide(path).c_str(), hidden ? (attributes | FILE_ATTRIBUTE_HIDDEN)
                                                    : (attributes & ~DWORD{FILE_ATTRIBUTE_HIDDEN}));
}

std::optional<std::string> networkFileSystem(const std::string& path) {
    wchar_t root[MAX_PATH] = {};
    if (!GetVolumePathNameW(toWide(path).c_str(), root, MAX_PATH))
        return std::nullopt;
    if (GetDriveTypeW(root) == DRIVE_REMOTE)
        return "a network share";
    return std::nullopt;
}

std::string fromAnsiCodePage(const std::string& text) {
    if (text.empty())
        return text;
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return fromWide(wide);
}

unsigned long currentProcessId() {
    return GetCurrentProcessId();
}

bool readFileInPieces(const std::string& path, std::uint64_t maxBytes,
                      const std::function<bool(std::string_view)>& take, std::string* message) {
    const auto refuse = [&](const std::string& text) {
        if (message)
            *message = text;
        return false;
    };
    const auto failed = [&](DWORD error) {
        return refuse("Cannot read " + path + ": " + systemMessage(error));
    };
    if (folderExists(path))
        return refuse(path + " is not a regular file");
    const HANDLE file =
        CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failed(GetLastError());
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    if (GetFileType(file) != FILE_TYPE_DISK)
        return refuse(path + " is not a regular file");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        return failed(GetLastError());
    const std::string tooLarge = path + " is larger than " + sizeText(maxBytes);
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes)
        return refuse(tooLarge);
    std::uint64_t total = 0;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        // A file read in part is never taken for the whole file.
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            return failed(GetLastError());
        if (got == 0)
            return true;
        total += got;
        if (total > maxBytes)
            return refuse(tooLarge);
        if (!take(std::string_view(buffer, got)))
            return true;
    }
}

namespace {

// A temporary file of its own beside path: the name carries the process, a
// counter and the clock, and is only taken when nothing has it yet.
HANDLE createTemporary(const std::string& path, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter++) + "-" + std::to_string(GetTickCount());
        const HANDLE file = CreateFileW(toWide(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Another program holding the file open refuses the replacement for a moment
// (a virus scanner) or for good (an editor): try a few times, then say so.
bool moveOver(const std::string& from, const std::string& to) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(toWide(from).c_str(), toWide(to).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 10)
            return false;
        Sleep(20);
    }
}

// True when another program has the file open, which an exclusive open tells.
bool heldOpenElsewhere(const std::string& path) {
    const HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace

bool replaceFileContents(const std::string& path, std::string_view bytes, std::string* reason) {
    const DWORD old = GetFileAttributesW(toWide(path).c_str());
    if (old != INVALID_FILE_ATTRIBUTES &&
        (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return fail(reason, ERROR_ACCESS_DENIED);

    std::string temporary;
    const HANDLE file = createTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return fail(reason, GetLastError());
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (ok) {
        ok = moveOver(temporary, path);
        error = GetLastError();
    }
    if (ok)
        return true;
    DeleteFileW(toWide(temporary).c_str());
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
        heldOpenElsewhere(path))
        return fail(reason, "another program holds the file open");
    return fail(reason, error);
}

namespace {

bool allDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

// A replacement's temporary file is "<target>.tmp<process>-<n>-<ticks>".
bool isReplacementLeftover(const std::string& entry, const std::string& target,
                           unsigned long* owner) {
    const std::string prefix = target + ".tmp";
    if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string suffix = entry.substr(prefix.size());
    const std::size_t first = suffix.find('-');
    const std::size_t second = suffix.find('-', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos ||
        !allDigits(suffix.substr(0, first)) ||
        !allDigits(suffix.substr(first + 1, second - first - 1)) ||
        !allDigits(suffix.substr(second + 1)) || first > 10)
        return false;
    if (owner)
        *owner = std::stoul(suffix.substr(0, first));
    return true;
}

}  // namespace platform
