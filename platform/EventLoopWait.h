#pragma once

#include "platform/ProcessLauncher.h"

// A run's wait inside the toolkit's event loop: the windows keep painting and
// answering the window manager while nothing else wakes the program.
void waitInEventLoop(platform::RunWait& wait, unsigned timeoutMs);
