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

#include "common/Messages.h"
#include "platform/posix/ParameterSplitting.h"

extern char** environ;

namespace platform {
namespace {

class PosixProgram final : public LaunchedProgram {
  public:
    explicit PosixProgram(pid_t pid) : pid_(pid) {}

    ~PosixProgram() override {
        if (ended_)
            return;
        // Still running: a thread of its own waits for the end, so that no
        // zombie is left behind and the program is never touched.
        std::thread([pid = pid_] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }

    bool hasEnded() override {
        if (ended_)
            return true;
        int status = 0;
        pid_t result;
        do {
            result = waitpid(pid_, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        ended_ = result == pid_ || (result < 0 && errno == ECHILD);
        return ended_;
    }

  private:
    pid_t pid_;
    bool ended_ = false;
};

}  // namespace

std::vector<std::string> splitParameters(const std::string& parameters) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument)
                arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments.push_back(current);
    return arguments;
}

std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const std::string& parameters, bool /*hidden*/) {
    std::vector<std::string> arguments = splitParameters(parameters);
    arguments.insert(arguments.begin(), path);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        // No shell reports a failed launch here, so the layer does.
        messages::showError("Cannot start " + path + ": " + std::strerror(error));
        return nullptr;
    }
    return std::make_unique<PosixProgram>(pid);
}

NamedEvent::NamedEvent(const std::string& name)
    : handle_(sem_open(("/" + name).c_str(), O_CREAT, 0600, 0)) {
    if (handle_ == SEM_FAILED)
        handle_ = nullptr;
}

NamedEvent::~NamedEvent() {
    if (handle_)
        sem_close(static_cast<sem_t*>(handle_));
}

void NamedEvent::reset() {
    if (!handle_)
        return;
    while (sem_trywait(static_cast<sem_t*>(handle_)) == 0) {
    }
}

void NamedEvent::waitFor(unsigned milliseconds) {
    if (!handle_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_nsec += static_cast<long>(milliseconds) * 1000000L;
    deadline.tv_sec += deadline.tv_nsec / 1000000000L;
    deadline.tv_nsec %= 1000000000L;
    while (sem_timedwait(static_cast<sem_t*>(handle_), &deadline) < 0 && errno == EINTR) {
    }
}

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace platform
