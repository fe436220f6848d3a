#pragma once

#include <string>

// Sets or removes an environment variable of this process (and so of the
// programs it starts), on either platform.
void setEnvironment(const std::string& name, const std::string& value);
void clearEnvironment(const std::string& name);
