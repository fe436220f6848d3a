#pragma once

#include <termios.h>

#include <optional>

#include "platform/SerialApi.h"

// The device-control block carried to termios and back. Fields that termios
// has no place for are kept by the caller and merged back by termiosToDcb.
namespace platform {

// Raw mode with the block's line settings and flow control, every flag that
// the block does not ask for cleared; nothing when the block asks for
// something the terminal cannot do (no rate, 4 data bits). A rate that the
// termios speed table lacks is left for setLineRate: the speed stays as it was.
std::optional<termios> dcbToTermios(const Dcb& block, const termios& current);

// True when rate has an entry in the termios speed table.
bool isTableRate(std::uint32_t rate);

// The block as termios shows it, with kept supplying what termios lacks: the
// port's own flow control included (CRTSCTS as CTS output flow with the RTS
// handshake, IXON and IXOFF as XON/XOFF out and in).
Dcb termiosToDcb(const termios& settings, const Dcb& kept);

// The line error counters the kernel keeps for a port.
struct LineErrorCounts {
    std::uint32_t frame = 0;
    std::uint32_t overrun = 0;     // the UART's own
    std::uint32_t bufOverrun = 0;  // the input queue's
    std::uint32_t parity = 0;
    std::uint32_t breaks = 0;
};

// The error flags for what the counters say happened since was: CE_RXOVER
// 0x01, CE_OVERRUN 0x02, CE_RXPARITY 0x04, CE_FRAME 0x08, CE_BREAK 0x10.
std::uint32_t lineErrorFlags(const LineErrorCounts& was, const LineErrorCounts& now);

}  // namespace platform
