#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/ProcessLauncher.h"
#include "platform/SerialNames.h"
#include "platform/posix/ParameterSplitting.h"
#include "support/MessageRecorder.h"
#include "support/TempFolder.h"
#include "update/UpdaterLauncher.h"

namespace {

using Clock = std::chrono::steady_clock;

long elapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(UpdaterParameters, PiecesInOrder) {
    struct Case {
        const char* port;
        UpdateOptions options;
        const char* root;
        const char* project;
        const char* expected;
    };
    const Case cases[] = {
        {"COM3",
         {true, true, true, true},
         "/opt/tools",
         "/opt/tools/PROJECTS/Plant1",
         "/dev/ttyS2 FW FR PW PR \"/opt/tools/MASTER/sim40917.sim\" "
         "\"/opt/tools/PROJECTS/Plant1/bin/\""},
        {"COM33",
         {false, false, false, false},
         "/w",
         "/w/PROJECTS/P",
         "/dev/ttyUSB0 NO NO NO NO \"/w/MASTER/sim40917.sim\" \"/w/PROJECTS/P/bin/\""},
        {"COM70",
         {true, false, true, false},
         "/my tools",
         "/my tools/PROJECTS/A b",
         "/dev/ttyACM5 FW NO PW NO \"/my tools/MASTER/sim40917.sim\" "
         "\"/my tools/PROJECTS/A b/bin/\""},
        {"COM1",
         {false, true, false, true},
         "/w",
         "",
         "/dev/ttyS0 NO FR NO PR "
         "\"/w/MASTER/sim40917.sim\" \"/bin/\""},
        {"",
         {true, true, true, true},
         "/w",
         "/w/P",
         " FW FR PW PR \"/w/MASTER/sim40917.sim\" "
         "\"/w/P/bin/\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(updaterParameters(c.port, c.options, c.root, c.project), c.expected) << c.port;
    EXPECT_EQ(updaterProgramPath("/opt/tools"), "/opt/tools/Ser_40917_Update.exe");
}

TEST(ComNames, NumbersAndDevices) {
    struct Case {
        const char* name;
        std::optional<int> number;
        const char* device;
    };
    const Case cases[] = {
        {"COM1", 1, "/dev/ttyS0"},
        {"com3", 3, "/dev/ttyS2"},
        {"\\\\.\\COM3", 3, "/dev/ttyS2"},
        {"COM32", 32, "/dev/ttyS31"},
        {"COM64", 64, "/dev/ttyUSB31"},
        {"COM65", 65, "/dev/ttyACM0"},
        {"COM97", 97, "/dev/ttyAMA0"},
        {"COM160", 160, "/dev/rfcomm31"},
        {"COM161", 161, ""},
        {"COM256", 256, ""},
        {"COM0", std::nullopt, "COM0"},
        {"COM257", std::nullopt, "COM257"},
        {"COM03", std::nullopt, "COM03"},
        {"", std::nullopt, ""},
        {"/dev/pts/3", std::nullopt, "/dev/pts/3"},
        {"COM1x", std::nullopt, "COM1x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::comPortNumber(c.name), c.number) << c.name;
        EXPECT_EQ(platform::devicePathForName(c.name), c.device) << c.name;
    }
}

TEST(SplitParameters, LikeAWindowsProgramsRuntime) {
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::splitParameters("/dev/ttyS0 FW NO \"/a b/MASTER/x.sim\" \"/c d/bin/\""),
              (V{"/dev/ttyS0", "FW", "NO", "/a b/MASTER/x.sim", "/c d/bin/"}));
    EXPECT_EQ(platform::splitParameters("  a\\b   \"\" c\"d e\"f\t"), (V{"a\\b", "", "cd ef"}));
    EXPECT_EQ(platform::splitParameters("\"C:\\x\\bin\\\""), (V{"C:\\x\\bin\\"}));
    EXPECT_EQ(platform::splitParameters(""), V{});
}

// Zombie children of this process, from /proc.
int zombieChildren() {
    int count = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string pid, name, state;
        long parent = 0;
        if (stat >> pid >> name >> state >> parent && state == "Z" && parent == getpid())
            ++count;
    }
    closedir(proc);
    return count;
}

class RunAndWaitTest : public testing::Test {
  protected:
    TempFolder folder;
    std::string argsFile = folder / "args.txt";
    void SetUp() override {
        setenv("TARVEL_ARGS_FILE", argsFile.c_str(), 1);
        unsetenv("TARVEL_UPDATER_SLEEP_MS");
    }
};

TEST_F(RunAndWaitTest, ProgramThatEndsAtOnceReturnsAtOnceWithItsArguments) {
    MessageRecorder recorder;
    const auto start = Clock::now();
    runAndWait(FAKE_UPDATER, "/dev/ttyS0 FW NO PW NO \"/a b/MASTER/sim40917.sim\" \"/p q/bin/\"",
               false, {});
    EXPECT_LT(elapsedMs(start), 1000);
    EXPECT_EQ(readFile(argsFile),
              "/dev/ttyS0\nFW\nNO\nPW\nNO\n/a b/MASTER/sim40917.sim\n/p q/bin/\n--end--\n");
    EXPECT_TRUE(recorder.entries.empty());
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(RunAndWaitTest, ProgramPastTheLimitKeepsRunningAndIsReapedLater) {
    setenv("TARVEL_UPDATER_SLEEP_MS", "600", 1);
    const auto start = Clock::now();
    runAndWait(FAKE_UPDATER, "x", false, WaitSettings{150, {}});
    const long waited = elapsedMs(start);
    EXPECT_GE(waited, 150);
    EXPECT_LT(waited, 500);
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_EQ(readFile(argsFile), "x\n--end--\n");
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(RunAndWaitTest, TheClockMayWrapAround) {
    setenv("TARVEL_UPDATER_SLEEP_MS", "400", 1);
    std::uint32_t fake = 0xFFFFFFC0u;
    const auto start = Clock::now();
    // Each reading advances 20 ms across the wrap; the limit is 100 ms of it.
    runAndWait(FAKE_UPDATER, "", false, WaitSettings{100, [&] { return fake += 20; }});
    EXPECT_LT(elapsedMs(start), 350);
}

TEST_F(RunAndWaitTest, MissingProgramReturnsAtOnceAndShowsTheLaunchError) {
    MessageRecorder recorder;
    const auto start = Clock::now();
    runAndWait(folder / "Ser_40917_Update.exe", "a b", false, {});
    EXPECT_LT(elapsedMs(start), 100);
    ASSERT_EQ(recorder.entries.size(), 1u);
    EXPECT_EQ(recorder.entries[0].kind, MessageRecorder::Kind::Error);
    EXPECT_EQ(recorder.entries[0].text.rfind("Cannot start " + folder / "Ser_40917_Update.exe", 0),
              0u);
}

}  // namespace
