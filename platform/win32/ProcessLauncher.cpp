#include "platform/ProcessLauncher.h"

#include <windows.h>
// after <windows.h>, whose types it uses
#include <shellapi.h>

#include "platform/win32/Wide.h"

namespace platform {
namespace {

class Win32Program final : public LaunchedProgram {
  public:
    explicit Win32Program(HANDLE process) : process_(process) {}
    // The program is never touched; only our handle to it is let go.
    ~Win32Program() override { CloseHandle(process_); }

    std::optional<int> exitCode() override {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_, &code);
        if (code == STILL_ACTIVE)
            return std::nullopt;
        return static_cast<int>(code);
    }

    std::intptr_t nativeHandle() const override {
        return reinterpret_cast<std::intptr_t>(process_);
    }
    unsigned long processId() const override { return GetProcessId(process_); }

  private:
    HANDLE process_;
};

// The program without a window, its output appended to outputFile, or sent
// to this program's standard error; the shell cannot hand a program other
// standard handles.
std::unique_ptr<LaunchedProgram> launchWithOutputHandle(const std::string& path,
                                                        const ProgramArguments& arguments,
                                                        std::string& unreported,
                                                        const LaunchOptions& options) {
    const std::string& outputFile = options.outputFile;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE output = INVALID_HANDLE_VALUE;
    if (outputFile.empty()) {
        const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
        if (errors && errors != INVALID_HANDLE_VALUE)
            DuplicateHandle(GetCurrentProcess(), errors, GetCurrentProcess(), &output, 0, TRUE,
                            DUPLICATE_SAME_ACCESS);
    } else {
        output = CreateFileW(toWide(outputFile).c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) {
            unreported =
                "Cannot write " + outputFile + " (error " + std::to_string(GetLastError()) + ")";
            return nullptr;
        }
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    // Nothing typed at the console reaches it, nor does Ctrl-C there.
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring commandLine = toWide("\"" + path + "\" " + arguments.parameters);
    PROCESS_INFORMATION started{};
    const BOOL launched = CreateProcessW(toWide(path).c_str(), commandLine.data(), nullptr, nullptr,
                                         TRUE, CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr,
                                         nullptr, &startup, &started);
    const DWORD error = GetLastError();
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!launched) {
        unreported = "Cannot start " + path + " (error " + std::to_string(error) + ")";
        return nullptr;
    }
    auto program = std::make_unique<Win32Program>(started.hProcess);
    if (options.beforeItRuns)
        options.beforeItRuns(*program);
    CloseHandle(started.hThread);
    return program;
}

}  // namespace

std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool hidden,
                                               std::string& unreported,
                                               const LaunchOptions& options) {
    if (!options.outputFile.empty() || options.outputToStandardError)
        return launchWithOutputHandle(path, arguments, unreported, options);
    const std::wstring file = toWide(path);
    const std::wstring parameters = toWide(arguments.parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    // The shell reports a failed launch itself.
    if (!ShellExecuteExW(&info) || !info.hProcess)
        return nullptr;
    auto program = std::make_unique<Win32Program>(info.hProcess);
    if (options.beforeItRuns)
        options.beforeItRuns(*program);
    return program;
}

NamedEvent::NamedEvent(const std::string& name)
    : handle_(CreateEventW(nullptr, FALSE, FALSE, toWide(name).c_str())), name_(name) {}

NamedEvent::~NamedEvent() {
    if (handle_)
        CloseHandle(handle_);
}

void NamedEvent::reset() {
    if (handle_)
        ResetEvent(handle_);
}

struct RunWait::State {
    std::vector<HANDLE> handles;
};

RunWait::RunWait(LaunchedProgram& program, NamedEvent& event) : state_(std::make_unique<State>()) {
    state_->handles.push_back(reinterpret_cast<HANDLE>(program.nativeHandle()));
    if (event.nativeHandle())
        state_->handles.push_back(static_cast<HANDLE>(event.nativeHandle()));
}

RunWait::~RunWait() = default;

// Waiting on the auto-reset event takes its signal.
void RunWait::wait(unsigned timeoutMs) {
    WaitForMultipleObjects(static_cast<DWORD>(state_->handles.size()), state_->handles.data(),
                           FALSE, timeoutMs);
}

std::vector<std::intptr_t> RunWait::waitables() const {
    std::vector<std::intptr_t> all;
    for (const HANDLE handle : state_->handles)
        all.push_back(reinterpret_cast<std::intptr_t>(handle));
    return all;
}

void RunWait::acknowledge() {}

std::uint32_t tickCount() {
    return GetTickCount();
}

}  // namespace platform
