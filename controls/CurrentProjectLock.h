#pragma once

#include <optional>

#include "project/ProjectLock.h"

// The current project's writer lock, or nothing after an error box that says
// why (another program is writing the project, or a link that another user
// made). The wait runs in the event loop, so the windows keep painting.
std::optional<ProjectLock> lockCurrentProject();
