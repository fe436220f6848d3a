#pragma once

#include <string>

// The usage of the whole program, and of one command (empty for an unknown one).
const std::string& programUsage();
std::string commandUsage(const std::string& command);
