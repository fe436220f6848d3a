#pragma once

#include <optional>

#include "app/ProjectLock.h"

// The current project's writer lock, or nothing after an error box that says
// why (another program is writing the project).
std::optional<ProjectLock> lockCurrentProject();
