#pragma once

#include <termios.h>

#include <optional>

#include "platform/SerialApi.h"

// The device-control block carried to termios and back. Fields that termios
// has no place for are kept by the caller and merged back by termiosToDcb.
namespace platform {

// Raw mode with the block's line settings and flow control; nothing when the
// block asks for something the terminal cannot do (an unknown baud rate, 4 data bits).
std::optional<termios> dcbToTermios(const Dcb& block, const termios& current);

// The block as termios shows it, with kept supplying what termios lacks.
Dcb termiosToDcb(const termios& settings, const Dcb& kept);

}  // namespace platform
