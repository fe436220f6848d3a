// The Windows serial layer on a real port: under Wine, COM1 is /dev/ttyS0.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "platform/SerialApi.h"

namespace {

TEST(Win32Serial, AWokenEventWaitReturns) {
    const auto api = platform::makeSystemSerialApi();
    const platform::CommHandle port = api->createFile("COM1");
    if (port == platform::kInvalidCommHandle)
        GTEST_SKIP() << "no COM1 here (error " << api->lastError() << ")";
    ASSERT_TRUE(api->setCommMask(port, platform::kEvRxChar | platform::kEvCts));
    const platform::EventHandle wake = api->createEvent();
    auto waiting = std::async(std::launch::async, [&] {
        std::uint32_t events = 0;
        return api->waitCommEvent(port, wake, events);
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    api->setEvent(wake);
    // Only a broken build reaches the bound: the event ends the wait.
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    api->closeEvent(wake);
    EXPECT_TRUE(api->closeHandle(port));
}

}  // namespace
