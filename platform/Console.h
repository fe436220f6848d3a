#pragma once

namespace platform {

// True when standard error is a terminal that a progress line may overwrite.
bool standardErrorIsTerminal();

}  // namespace platform
