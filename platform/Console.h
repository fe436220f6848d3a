#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// True when standard error is a terminal that a progress line may overwrite.
bool standardErrorIsTerminal();

// Runs command through the system's shell (/bin/sh -c; cmd /c on Windows),
// with these variables added to its environment, and waits for its end. Its
// exit status, or nothing when it could not be started.
std::optional<int> runShellCommand(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables);

}  // namespace platform
