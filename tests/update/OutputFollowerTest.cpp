#include "update/OutputFollower.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempFolder.h"

namespace {

// A program appends; each look returns only what came since the last, and
// the tail keeps the last bytes of all.
TEST(OutputFollowerTest, ReadsOnlyWhatCameSinceTheLastLookAndKeepsTheTail) {
    TempFolder folder;
    const std::string file = folder / "output.txt";
    OutputFollower follower(file, 8);
    EXPECT_EQ(follower.readNew(), "");  // nothing written yet
    std::ofstream program(file, std::ios::app | std::ios::binary);
    program << "Connecting\n" << std::flush;
    EXPECT_EQ(follower.readNew(), "Connecting\n");
    EXPECT_EQ(follower.readNew(), "");
    program << "Device not responding\n" << std::flush;
    EXPECT_EQ(follower.readNew(), "Device not responding\n");
    EXPECT_EQ(follower.tail(), "ponding\n");
}

}  // namespace
