#pragma once

#include <string>
#include <vector>

namespace platform {

// Splits a parameter string the way a Windows program's runtime does: blanks
// separate, double quotes group and are removed, backslashes are ordinary.
std::vector<std::string> splitParameters(const std::string& parameters);

}  // namespace platform
