#include "platform/Console.h"

#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace platform {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void prepareConsoleOutput() {}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void discardTypedAhead() {
    if (isatty(STDIN_FILENO) == 1)
        tcflush(STDIN_FILENO, TCIFLUSH);
}

std::optional<int> runShellCommand(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string shell = "/bin/sh", option = "-c", text = command;
    char* argv[] = {shell.data(), option.data(), text.data(), nullptr};

    pid_t pid = 0;
    if (posix_spawn(&pid, shell.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return std::nullopt;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace platform
