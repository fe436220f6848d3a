#include "platform/Console.h"

#include <termios.h>
#include <unistd.h>

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

}  // namespace platform
