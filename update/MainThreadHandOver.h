#pragma once

#include <memory>

#include "update/CommInt.h"

// Hands the serial watcher's events to the user-interface thread's event loop.
std::shared_ptr<CommEventHandOver> mainThreadHandOver();
