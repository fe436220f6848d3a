#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// How a shell command ended: its exit status, or nothing when it could not
// be started or was ended at its time limit (timedOut).
struct ShellCommandEnd {
    std::optional<int> exitCode;
    bool timedOut = false;
};

// Runs command through the system's shell (/bin/sh -c; cmd /c on Windows),
// with these variables added to its environment, its input from the null
// device and in a process group of its own, so that it reads nothing typed
// at the terminal and no Ctrl-C there reaches it. Once timeLimitMs has
// passed, it is ended with everything it started.
ShellCommandEnd runShellCommand(const std::string& command,
                                const std::vector<std::pair<std::string, std::string>>& variables,
                                unsigned timeLimitMs);

}  // namespace platform
