#pragma once

#include <cstdint>
#include <optional>

// Any line rate in bits per second, also those the termios speed table lacks
// (14400, 56000, 128000, 256000), through the kernel's termios2 interface.
// Kept apart because its kernel header clashes with <termios.h>.
namespace platform {

// Sets both directions to rate; false with errno set when the port refuses.
bool setLineRate(int fd, std::uint32_t rate);

// The port's output rate, or nothing when the port cannot tell.
std::optional<std::uint32_t> lineRate(int fd);

}  // namespace platform
