#include "platform/Console.h"

#include <poll.h>
#include <sys/ioctl.h>
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

std::size_t terminalColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

bool typedLineWaiting() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return isatty(STDIN_FILENO) == 1 && poll(&input, 1, 0) == 1;
}

bool inputWaiting() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, 0) == 1;
}

void discardTypedAhead() {
    if (isatty(STDIN_FILENO) == 1)
        tcflush(STDIN_FILENO, TCIFLUSH);
}

}  // namespace platform
