#include "platform/AppendFile.h"

#include <windows.h>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

HANDLE fileOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string lastErrorText() {
    return "error " + std::to_string(GetLastError());
}

// The lock covers one byte far beyond any end of file: a locked range keeps
// other handles from reading or writing it, which the data must never be.
OVERLAPPED lockRange() {
    OVERLAPPED range{};
    range.Offset = 0xFFFFFFFE;
    range.OffsetHigh = 0x7FFFFFFF;
    return range;
}

}  // namespace

std::unique_ptr<AppendFile> AppendFile::open(const std::string& path, std::string& reason) {
    const HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = lastErrorText();
        return nullptr;
    }
    return std::unique_ptr<AppendFile>(new AppendFile(reinterpret_cast<std::intptr_t>(file)));
}

AppendFile::~AppendFile() {
    CloseHandle(fileOf(handle_));
}

bool AppendFile::lock(std::string& reason) {
    OVERLAPPED range = lockRange();
    if (LockFileEx(fileOf(handle_), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &range))
        return true;
    reason = lastErrorText();
    return false;
}

void AppendFile::unlock() {
    OVERLAPPED range = lockRange();
    UnlockFileEx(fileOf(handle_), 0, 1, 0, &range);
}

bool AppendFile::readFrom(std::uint64_t offset, std::string& bytes, std::string& reason) {
    bytes.clear();
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(fileOf(handle_), position, nullptr, FILE_BEGIN)) {
        reason = lastErrorText();
        return false;
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(fileOf(handle_), buffer, sizeof buffer, &got, nullptr)) {
            reason = lastErrorText();
            return false;
        }
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
}

bool AppendFile::append(std::string_view bytes, std::string& reason) {
    const LARGE_INTEGER none{};
    DWORD written = 0;
    if (!SetFilePointerEx(fileOf(handle_), none, nullptr, FILE_END) ||
        !WriteFile(fileOf(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
        written != bytes.size() || !FlushFileBuffers(fileOf(handle_))) {
        reason = lastErrorText();
        return false;
    }
    return true;
}

bool AppendFile::truncate(std::uint64_t size, std::string& reason) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(fileOf(handle_), position, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(fileOf(handle_)) || !FlushFileBuffers(fileOf(handle_))) {
        reason = lastErrorText();
        return false;
    }
    return true;
}

}  // namespace platform
