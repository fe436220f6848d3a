#pragma once

#include <string>

namespace platform {

// Asks the desktop to open a web address in the default browser; the outcome
// is not looked at.
void openWebAddress(const std::string& address);

// Why the window program cannot show windows here (no display on Linux and
// no Qt platform chosen by QT_QPA_PLATFORM or -platform), or empty.
std::string missingDesktopReason(int argc, char** argv);

}  // namespace platform
