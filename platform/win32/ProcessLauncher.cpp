#include "platform/ProcessLauncher.h"

#include <windows.h>
// after <windows.h>, whose types it uses
#include <shellapi.h>

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

  private:
    HANDLE process_;
};

}  // namespace

std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool hidden,
                                               std::string& /*unreported*/) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = path.c_str();
    info.lpParameters = arguments.parameters.c_str();
    info.nShow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    // The shell reports a failed launch itself.
    if (!ShellExecuteExA(&info) || !info.hProcess)
        return nullptr;
    return std::make_unique<Win32Program>(info.hProcess);
}

NamedEvent::NamedEvent(const std::string& name)
    : handle_(CreateEventA(nullptr, FALSE, FALSE, name.c_str())), name_(name) {}

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
