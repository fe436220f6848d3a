#include "platform/posix/DcbTermios.h"

#include <utility>

namespace platform {
namespace {

constexpr std::pair<std::uint32_t, speed_t> kSpeeds[] = {
    {110, B110},         {300, B300},         {600, B600},        {1200, B1200},
    {2400, B2400},       {4800, B4800},       {9600, B9600},      {19200, B19200},
    {38400, B38400},     {57600, B57600},     {115200, B115200},  {230400, B230400},
    {460800, B460800},   {500000, B500000},   {921600, B921600},  {1000000, B1000000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}};

std::optional<speed_t> speedFor(std::uint32_t rate) {
    for (const auto& [bits, speed] : kSpeeds) {
        if (bits == rate)
            return speed;
    }
    return std::nullopt;
}

std::uint32_t rateFor(speed_t speed) {
    for (const auto& [bits, value] : kSpeeds) {
        if (value == speed)
            return bits;
    }
    return 0;
}

}  // namespace

bool isTableRate(std::uint32_t rate) {
    return speedFor(rate).has_value();
}

std::optional<termios> dcbToTermios(const Dcb& block, const termios& current) {
    if (block.BaudRate == 0 || block.ByteSize < 5 || block.ByteSize > 8 || block.Parity > 4 ||
        block.StopBits > 2)
        return std::nullopt;

    termios t = current;
    cfmakeraw(&t);
    // cfmakeraw leaves these alone; each is set below only when asked for.
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
    t.c_cflag |= CLOCAL | CREAD;
    if (const auto speed = speedFor(block.BaudRate)) {
        cfsetispeed(&t, *speed);
        cfsetospeed(&t, *speed);
    }

    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[block.ByteSize - 5];

    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    static constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                             PARENB | CMSPAR};
    t.c_cflag |= kParities[block.Parity];
    if (block.Flags & dcb::kParity)
        t.c_iflag |= INPCK;

    // One and a half stop bits exist only with 5 data bits; two is the nearest.
    if (block.StopBits != 0)
        t.c_cflag |= CSTOPB;

    if (block.Flags & (dcb::kOutxCtsFlow | dcb::kRtsControlHandshake))
        t.c_cflag |= CRTSCTS;
    if (block.Flags & dcb::kOutX)
        t.c_iflag |= IXON;
    if (block.Flags & dcb::kInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(block.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(block.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return t;
}

Dcb termiosToDcb(const termios& settings, const Dcb& kept) {
    Dcb block = kept;
    block.BaudRate = rateFor(cfgetospeed(&settings));
    switch (settings.c_cflag & CSIZE) {
        case CS5:
            block.ByteSize = 5;
            break;
        case CS6:
            block.ByteSize = 6;
            break;
        case CS7:
            block.ByteSize = 7;
            break;
        default:
            block.ByteSize = 8;
            break;
    }
    const tcflag_t parity = settings.c_cflag & (PARENB | PARODD | CMSPAR);
    if (!(parity & PARENB))
        block.Parity = 0;
    else if (parity & CMSPAR)
        block.Parity = (parity & PARODD) ? 3 : 4;
    else
        block.Parity = (parity & PARODD) ? 1 : 2;
    if (!(settings.c_cflag & CSTOPB))
        block.StopBits = 0;
    else if (block.StopBits == 0)
        block.StopBits = 2;
    const auto setFlag = [&block](std::uint32_t flag, bool on) {
        block.Flags = on ? (block.Flags | flag) : (block.Flags & ~flag);
    };
    setFlag(dcb::kOutX, settings.c_iflag & IXON);
    setFlag(dcb::kInX, settings.c_iflag & IXOFF);
    // termios has one flag for both directions of the hardware handshake.
    setFlag(dcb::kOutxCtsFlow | dcb::kRtsControlHandshake, settings.c_cflag & CRTSCTS);
    block.XonChar = static_cast<char>(settings.c_cc[VSTART]);
    block.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
    return block;
}

std::uint32_t lineErrorFlags(const LineErrorCounts& was, const LineErrorCounts& now) {
    std::uint32_t flags = 0;
    if (now.bufOverrun != was.bufOverrun)
        flags |= 0x01;
    if (now.overrun != was.overrun)
        flags |= 0x02;
    if (now.parity != was.parity)
        flags |= 0x04;
    if (now.frame != was.frame)
        flags |= 0x08;
    if (now.breaks != was.breaks)
        flags |= 0x10;
    return flags;
}

}  // namespace platform
