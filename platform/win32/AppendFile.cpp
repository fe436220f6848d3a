#include "platform/AppendFile.h"

#include <windows.h>

#include <algorithm>

#include "platform/FileLock.h"
#include "platform/win32/Wide.h"

namespace platform {
namespace {

HANDLE fileOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string lastErrorText() {
    return "error " + std::to_string(GetLastError());
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
    bool busy = false;
    return lockOpenFile(handle_, LockWait::Block, busy, reason);
}

void AppendFile::unlock() {
    unlockOpenFile(handle_);
}

bool AppendFile::readFrom(std::uint64_t offset, std::string& bytes, std::string& reason,
                          std::size_t maxBytes) {
    bytes.clear();
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(fileOf(handle_), position, nullptr, FILE_BEGIN)) {
        reason = lastErrorText();
        return false;
    }
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        DWORD got = 0;
        const auto wanted = static_cast<DWORD>(std::min(sizeof buffer, maxBytes - bytes.size()));
        if (!ReadFile(fileOf(handle_), buffer, wanted, &got, nullptr)) {
            reason = lastErrorText();
            return false;
        }
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
    return true;
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

namespace {

std::optional<BY_HANDLE_FILE_INFORMATION> identityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information))
        return std::nullopt;
    return information;
}

}  // namespace

bool AppendFile::isAt(const std::string& path) const {
    // A file deleted while open keeps its name until its last handle goes.
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(fileOf(handle_), FileStandardInfo, &standard,
                                      sizeof standard) ||
        standard.DeletePending)
        return false;
    const auto held = identityOf(fileOf(handle_));
    const HANDLE named =
        CreateFileW(toWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!held || named == INVALID_HANDLE_VALUE)
        return false;
    const auto now = identityOf(named);
    CloseHandle(named);
    return now && now->dwVolumeSerialNumber == held->dwVolumeSerialNumber &&
           now->nFileIndexHigh == held->nFileIndexHigh && now->nFileIndexLow == held->nFileIndexLow;
}

std::optional<std::uint64_t> AppendFile::size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(fileOf(handle_), &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace platform
