#include "platform/ProcessLauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <future>
#include <thread>

#include "platform/posix/Walk.h"

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

    std::intptr_t nativeHandle() const override { return pid_; }
    unsigned long processId() const override { return static_cast<unsigned long>(pid_); }

  private:
    pid_t pid_;
    std::optional<int> exitCode_;
};

// An eventfd that the helper threads of a wait raise.
struct WakeSignal {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    WakeSignal() = default;
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;
    ~WakeSignal() {
        if (fd >= 0)
            close(fd);
    }
    void raise() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
    }
    void take() const {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = read(fd, &count, sizeof count);
    }
};

sem_t* semaphore(void* handle) {
    return static_cast<sem_t*>(handle);
}

}  // namespace

std::unique_ptr<LaunchedProgram> launchProgram(const std::string& path,
                                               const ProgramArguments& arguments, bool /*hidden*/,
                                               std::string& unreported,
                                               const LaunchOptions& options) {
    const std::string& outputFile = options.outputFile;
    std::vector<std::string> argv_strings = arguments.arguments;
    argv_strings.insert(argv_strings.begin(), path);
    std::vector<char*> argv;
    for (std::string& argument : argv_strings) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int output = -1;
    if (!outputFile.empty()) {
        std::string refusal;
        output = posix::openWalked(outputFile, O_WRONLY | O_CREAT | O_APPEND, 0666, &refusal);
        if (output < 0) {
            unreported = "Cannot write " + outputFile + ": " +
                         (refusal.empty() ? std::strerror(errno) : refusal);
            posix_spawn_file_actions_destroy(&actions);
            return nullptr;
        }
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    } else if (options.outputToStandardError) {
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    }
    // A copy the program keeps open until it ends; the original stays
    // close-on-exec, so that no other program gets it.
    constexpr int kHeldLockInChild = 10;
    if (options.heldLock >= 0)
        posix_spawn_file_actions_adddup2(&actions, static_cast<int>(options.heldLock),
                                         kHeldLockInChild);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (output >= 0)
        close(output);
    if (error != 0) {
        // No shell reports a failed launch here.
        unreported = "Cannot start " + path + ": " + std::strerror(error);
        return nullptr;
    }
    auto program = std::make_unique<PosixProgram>(pid);
    if (options.beforeItRuns)
        options.beforeItRuns(*program);
    return program;
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

struct RunWait::State {
    std::shared_ptr<WakeSignal> wake = std::make_shared<WakeSignal>();
    int endFd = -1;  // a pidfd, readable once the program has ended
    sem_t* event = nullptr;
    std::atomic<bool> stopping{false};
    std::promise<void> watcherEnded;
    std::thread signalWatcher;
};

RunWait::RunWait(LaunchedProgram& program, NamedEvent& event) : state_(std::make_unique<State>()) {
    const auto pid = static_cast<pid_t>(program.nativeHandle());
    state_->endFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (state_->endFd < 0) {
        // No pidfd here (an old kernel, a sandbox): a thread waits for the
        // end without reaping, and outlives this wait if it must.
        std::thread([pid, wake = state_->wake] {
            siginfo_t info{};
            while (waitid(P_PID, pid, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
            }
            wake->raise();
        }).detach();
    }
    state_->event = semaphore(event.nativeHandle());
    if (!state_->event)
        return;
    // A semaphore cannot be polled: a thread waits on it.
    state_->signalWatcher = std::thread([state = state_.get()] {
        for (;;) {
            if (sem_wait(state->event) != 0 && errno == EINTR)
                continue;
            if (state->stopping)
                break;
            // However often it was set, the event was signalled once.
            while (sem_trywait(state->event) == 0) {
            }
            // The post that stops this thread may have been among them.
            if (state->stopping)
                break;
            state->wake->raise();
        }
        state->watcherEnded.set_value();
    });
}

RunWait::~RunWait() {
    if (state_->signalWatcher.joinable()) {
        state_->stopping = true;
        // The semaphore is shared by name: another program's wait may take
        // the post meant for this thread (its reset drains the semaphore), so
        // post again until the thread has seen one.
        const std::future<void> ended = state_->watcherEnded.get_future();
        do {
            sem_post(state_->event);
        } while (ended.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
        state_->signalWatcher.join();
    }
    if (state_->endFd >= 0)
        close(state_->endFd);
}

std::vector<std::intptr_t> RunWait::waitables() const {
    std::vector<std::intptr_t> all{state_->wake->fd};
    if (state_->endFd >= 0)
        all.push_back(state_->endFd);
    return all;
}

void RunWait::wait(unsigned timeoutMs) {
    std::vector<pollfd> fds;
    for (const std::intptr_t fd : waitables()) fds.push_back({static_cast<int>(fd), POLLIN, 0});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int result =
            poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, left.count())));
        if (result >= 0 || errno != EINTR)
            break;
    }
    acknowledge();
}

void RunWait::acknowledge() {
    state_->wake->take();
}

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace platform
