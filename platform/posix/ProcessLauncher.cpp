#include "platform/ProcessLauncher.h"

#include <fcntl.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

extern char** environ;

namespace platform {
namespace {

class PosixProgram final : public LaunchedProgram {
  public:
    explicit PosixProgram(pid_t pid) : pid_(pid) {}

    ~PosixProgram() override {
        if (exitCode_)
            return;
        // Still running: a thread of its own waits for the end, so that no
        // zombie is left behind and the program is never touched.
        std::thread([pid = pid_] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }

    std::optional<int> exitCode() override {
        if (exitCode_)
            return exitCode_;
        int status = 0;
        pid_t result;
        do {
            result = waitpid(pid_, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == pid_)
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (result < 0)  // reaped elsewhere: ended, its code unknown
            exitCode_ = -1;
        return exitCode_;
    }

  private:
    pid_t pid_;
    std::optional<int> exitCode_;
};

sem_t* semaphore(void* handle) {
    return static_cast<sem_t*>(handle);
}

}  // namespace

std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool /*hidden*/,
                                               std::string& unreported) {
    std::vector<std::string> argv_strings = arguments.arguments;
    argv_strings.insert(argv_strings.begin(), path);
    std::vector<char*> argv;
    for (std::string& argument : argv_strings) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        // No shell reports a failed launch here.
        unreported = "Cannot start " + path + ": " + std::strerror(error);
        return nullptr;
    }
    return std::make_unique<PosixProgram>(pid);
}

// A named semaphore stands in for the event. Its name is removed when this
// run is over, as a Windows event disappears with its last handle, so that the
// next run, perhaps another user's, creates its own.
NamedEvent::NamedEvent(const std::string& name)
    : handle_(sem_open(("/" + name).c_str(), O_CREAT, 0600, 0)), name_("/" + name) {
    if (handle_ == SEM_FAILED)
        handle_ = nullptr;
}

NamedEvent::~NamedEvent() {
    if (!handle_)
        return;
    sem_close(semaphore(handle_));
    sem_unlink(name_.c_str());
}

void NamedEvent::reset() {
    if (!handle_)
        return;
    while (sem_trywait(semaphore(handle_)) == 0) {
    }
}

void NamedEvent::waitFor(unsigned milliseconds) {
    if (!handle_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_nsec += static_cast<long>(milliseconds) * 1000000L;
    deadline.tv_sec += deadline.tv_nsec / 1000000000L;
    deadline.tv_nsec %= 1000000000L;
    int result;
    while ((result = sem_clockwait(semaphore(handle_), CLOCK_MONOTONIC, &deadline)) < 0 &&
           errno == EINTR) {
    }
    // An auto-reset event is signalled once however often it was set.
    if (result == 0)
        reset();
}

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace platform
