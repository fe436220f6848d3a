#pragma once

#include <functional>

// Runs one operator action; an error that nothing below caught ends the action
// and is shown in the general error report, and the program goes on.
void runGuarded(const std::function<void()>& action);
