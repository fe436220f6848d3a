#include <gtest/gtest.h>

#include "platform/posix/DcbTermios.h"

namespace {

using namespace platform;

// A terminal that carries every flag a line setting can ask for.
termios everythingOn() {
    termios t{};
    cfsetispeed(&t, B1200);
    cfsetospeed(&t, B1200);
    t.c_cflag |= CRTSCTS | CSTOPB | PARENB | PARODD | CMSPAR | CS5;
    t.c_iflag = INPCK | IXON | IXOFF | IXANY;
    return t;
}

Dcb block(std::uint32_t flags, std::uint32_t rate = 9600) {
    Dcb d;
    d.BaudRate = rate;
    d.Flags = flags;
    d.ByteSize = 8;
    return d;
}

TEST(DcbTermios, FlagsTheBlockDoesNotAskForAreCleared) {
    struct Case {
        const char* what;
        std::uint32_t flags;
        tcflag_t cflagOn, iflagOn;
    };
    const Case cases[] = {
        {"binary alone", dcb::kBinary, 0, 0},
        {"parity check", dcb::kBinary | dcb::kParity, 0, INPCK},
        {"CTS flow", dcb::kBinary | dcb::kOutxCtsFlow | dcb::kRtsControlHandshake, CRTSCTS, 0},
        {"software flow", dcb::kBinary | dcb::kOutX | dcb::kInX, 0, IXON | IXOFF},
        {"output XON only", dcb::kBinary | dcb::kOutX, 0, IXON},
    };
    const tcflag_t cflagWatched = CRTSCTS | CSTOPB | PARENB | PARODD | CMSPAR;
    const tcflag_t iflagWatched = INPCK | IXON | IXOFF | IXANY;
    for (const Case& c : cases) {
        const auto t = dcbToTermios(block(c.flags), everythingOn());
        ASSERT_TRUE(t) << c.what;
        EXPECT_EQ(t->c_cflag & cflagWatched, c.cflagOn) << c.what;
        EXPECT_EQ(t->c_iflag & iflagWatched, c.iflagOn) << c.what;
        EXPECT_EQ(t->c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << c.what;
        EXPECT_EQ(t->c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD)) << c.what;
        EXPECT_EQ(cfgetospeed(&*t), static_cast<speed_t>(B9600)) << c.what;

        const Dcb back = termiosToDcb(*t, block(c.flags));
        EXPECT_EQ(back.Flags, c.flags) << c.what;
        EXPECT_EQ(back.BaudRate, 9600u) << c.what;
    }
}

TEST(DcbTermios, ThePortsOwnFlowControlIsReadIntoTheBlock) {
    struct Case {
        tcflag_t cflag, iflag;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {0, 0, 0},
        {CRTSCTS, 0, dcb::kOutxCtsFlow | dcb::kRtsControlHandshake},
        {0, IXON, dcb::kOutX},
        {0, IXOFF, dcb::kInX},
        {CRTSCTS, IXON | IXOFF,
         dcb::kOutxCtsFlow | dcb::kRtsControlHandshake | dcb::kOutX | dcb::kInX},
    };
    for (const Case& c : cases) {
        termios t{};
        cfsetospeed(&t, B9600);
        t.c_cflag |= CS8 | c.cflag;
        t.c_iflag = c.iflag;
        const std::uint32_t kept = dcb::kBinary | dcb::kOutxCtsFlow | dcb::kInX;
        EXPECT_EQ(termiosToDcb(t, block(kept)).Flags, dcb::kBinary | c.flags);
        const auto back = dcbToTermios(termiosToDcb(t, block(dcb::kBinary)), everythingOn());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->c_cflag & CRTSCTS, c.cflag);
        EXPECT_EQ(back->c_iflag & (IXON | IXOFF), c.iflag);
    }
}

TEST(DcbTermios, RatesOutsideTheSpeedTableAreLeftToTheRateCall) {
    for (const std::uint32_t rate : {14400u, 56000u, 128000u, 256000u}) {
        EXPECT_FALSE(isTableRate(rate)) << rate;
        const auto t = dcbToTermios(block(dcb::kBinary, rate), everythingOn());
        ASSERT_TRUE(t) << rate;
        EXPECT_EQ(cfgetospeed(&*t), static_cast<speed_t>(B1200)) << rate;  // as it was
    }
    EXPECT_TRUE(isTableRate(115200));
    EXPECT_FALSE(dcbToTermios(block(dcb::kBinary, 0), everythingOn()));
}

TEST(DcbTermios, LineErrorCountersBecomeTheErrorFlags) {
    const LineErrorCounts was{5, 5, 5, 5, 5};
    struct Case {
        LineErrorCounts now;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {{5, 5, 5, 5, 5}, 0x00}, {{6, 5, 5, 5, 5}, 0x08}, {{5, 6, 5, 5, 5}, 0x02},
        {{5, 5, 6, 5, 5}, 0x01}, {{5, 5, 5, 9, 5}, 0x04}, {{5, 5, 5, 5, 6}, 0x10},
        {{7, 7, 7, 7, 7}, 0x1F},
    };
    for (const Case& c : cases) EXPECT_EQ(lineErrorFlags(was, c.now), c.flags);
}

}  // namespace
