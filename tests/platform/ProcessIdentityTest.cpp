#include <gtest/gtest.h>

#include "platform/ProcessIdentity.h"

namespace {

// What a process of this host is judged, read from the system itself.
TEST(ProcessIdentity, OnlyASureEndIsAnEnd) {
    using platform::Liveness;
    const platform::ProcessIdentity self = platform::thisProcess();
    ASSERT_TRUE(self.start);
    platform::ProcessIdentity unread = self;
    unread.start.reset();
    platform::ProcessIdentity reused = self;
    *reused.start += 1;
    platform::ProcessIdentity otherBoot = self;
    otherBoot.boot += "0";  // another boot id, boot counter or boot time alike
    platform::ProcessIdentity gone = self;
    gone.processId = 999999999;
    platform::ProcessIdentity elsewhere = self;
    elsewhere.host += "x";
    const struct {
        const char* what;
        platform::ProcessIdentity process;
        Liveness expected;
    } cases[] = {
        {"this process", self, Liveness::Running},
        {"its start unread", unread, Liveness::Unknown},
        {"its id, another start", reused, Liveness::Ended},
        {"another boot", otherBoot, Liveness::Ended},
        {"no such process", gone, Liveness::Ended},
        {"another host", elsewhere, Liveness::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::liveness(c.process), c.expected) << c.what;
}

}  // namespace
