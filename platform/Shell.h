#pragma once

#include <string>

namespace platform {

// Asks the desktop to open a web address in the default browser; the outcome
// is not looked at.
void openWebAddress(const std::string& address);

}  // namespace platform
