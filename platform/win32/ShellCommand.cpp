#include "platform/ShellCommand.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

// This process's environment without the variables given, then them: a
// block of "NAME=value" strings, each ended by a null, and one more null.
std::wstring environmentWith(const std::vector<std::pair<std::string, std::string>>& variables) {
    const auto sameName = [](const std::wstring& entry, const std::wstring& name) {
        if (entry.size() <= name.size() || entry[name.size()] != L'=')
            return false;
        for (std::size_t i = 0; i < name.size(); ++i)
            if (std::towupper(entry[i]) != std::towupper(name[i]))
                return false;
        return true;
    };
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry && *entry; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        bool replaced = false;
        for (const auto& [name, value] : variables)
            replaced = replaced || sameName(text, toWide(name));
        if (!replaced)
            block += text + L'\0';
    }
    if (strings)
        FreeEnvironmentStringsW(strings);
    for (const auto& [name, value] : variables) block += toWide(name + "=" + value) + L'\0';
    return block + L'\0';
}

// One of this process's standard handles, as the command may inherit it.
HANDLE inheritable(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (handle && handle != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

ShellCommandEnd runShellCommand(const std::string& command,
                                const std::vector<std::pair<std::string, std::string>>& variables,
                                unsigned timeLimitMs) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
    startup.hStdError = inheritable(STD_ERROR_HANDLE);
    std::wstring environment = environmentWith(variables);
    std::wstring commandLine = L"cmd.exe /d /s /c \"" + toWide(command) + L"\"";
    PROCESS_INFORMATION started{};
    const BOOL launched = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                         CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT,
                                         environment.data(), nullptr, &startup, &started);
    for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    if (!launched)
        return {};
    // A job holds what the command starts, so that a time-out ends it all.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job)
        AssignProcessToJobObject(job, started.hProcess);
    CloseHandle(started.hThread);

    ShellCommandEnd end;
    if (WaitForSingleObject(started.hProcess, timeLimitMs) == WAIT_TIMEOUT) {
        end.timedOut = true;
        if (!job || !TerminateJobObject(job, 1))
            TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, INFINITE);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(started.hProcess, &code);
        end.exitCode = static_cast<int>(code);
    }
    if (job)
        CloseHandle(job);
    CloseHandle(started.hProcess);
    return end;
}

}  // namespace platform
