#include "platform/Console.h"

#include <io.h>

#include <cstdio>

namespace platform {

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace platform
