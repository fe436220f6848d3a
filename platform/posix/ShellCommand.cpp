#include "platform/ShellCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace platform {

ShellCommandEnd runShellCommand(const std::string& command,
                                const std::vector<std::pair<std::string, std::string>>& variables,
                                unsigned timeLimitMs) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh", option = "-c", text = command;
    char* argv[] = {shell.data(), option.data(), text.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: its process group is its id, ended as one.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return {};

    // A hook is short and rare: a look every 10 ms costs nothing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs);
    ShellCommandEnd end;
    int status = 0;
    for (;;) {
        const pid_t reaped = waitpid(pid, &status, WNOHANG);
        if (reaped == pid)
            break;
        if (reaped < 0 && errno != EINTR)
            return end;
        if (!end.timedOut && std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            end.timedOut = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!end.timedOut)
        end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return end;
}

}  // namespace platform
