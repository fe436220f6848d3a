#include "platform/Console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

// The variables go into this process's environment, which the shell inherits;
// the command line runs one command at a time.
std::optional<int> runShellCommand(
    const std::string& command, const std::vector<std::pair<std::string, std::string>>& variables) {
    for (const auto& [name, value] : variables) _putenv_s(name.c_str(), value.c_str());
    std::fflush(nullptr);
    const int status = std::system(command.c_str());
    if (status == -1)
        return std::nullopt;
    return status;
}

}  // namespace platform
