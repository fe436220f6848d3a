#pragma once

// The program's version, as the About box and the command line show it.
inline constexpr const char* kVersion = "1.102";
