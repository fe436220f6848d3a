#include <gtest/gtest.h>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "platform/ProcessLauncher.h"
#include "platform/SerialNames.h"
#include "support/Environment.h"
#include "support/TempFolder.h"
#include "update/UpdaterCommandLine.h"
#include "update/UpdaterLauncher.h"

namespace {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
TEST(UpdaterCommandLine, TheWorkedExampleOnWindows) {
    const platform::ProgramArguments command = updaterCommandLine(
        "COM3", {true, true, true, true}, "C:\\Tools", "C:\\Tools\\PROJECTS\\Plant1");
    EXPECT_EQ(command.parameters,
              "\\\\.\\COM3 FW FR PW PR \"C:\\Tools\\MASTER\\sim40917.sim\" "
              "\"C:\\Tools\\PROJECTS\\Plant1\\bin\\\"");
    EXPECT_EQ(
        updaterCommandLine("COM12", {false, false, false, false}, "C:\\T", "C:\\P").parameters,
        "\\\\.\\COM12 NO NO NO NO \"C:\\T\\MASTER\\sim40917.sim\" \"C:\\P\\bin\\\"");
    EXPECT_EQ(updaterProgramPath("C:\\Tools"), "C:\\Tools\\Ser_40917_Update.exe");
}
#else
TEST(UpdaterCommandLine, PiecesInOrderAsStringAndAsArguments) {
    using V = std::vector<std::string>;
    struct Case {
        const char* port;
        UpdateOptions options;
        std::string root;
        std::string project;
        std::string parameters;
        V arguments;
    };
    const Case cases[] = {
        {"COM3",
         {true, true, true, true},
         "/opt/tools",
         "/opt/tools/PROJECTS/Plant1",
         "/dev/ttyS2 FW FR PW PR \"/opt/tools/MASTER/sim40917.sim\" "
         "\"/opt/tools/PROJECTS/Plant1/bin/\"",
         {"/dev/ttyS2", "FW", "FR", "PW", "PR", "/opt/tools/MASTER/sim40917.sim",
          "/opt/tools/PROJECTS/Plant1/bin/"}},
        {"COM33",
         {false, false, false, false},
         "/w",
         "/w/PROJECTS/P",
         "/dev/ttyUSB0 NO NO NO NO \"/w/MASTER/sim40917.sim\" \"/w/PROJECTS/P/bin/\"",
         {"/dev/ttyUSB0", "NO", "NO", "NO", "NO", "/w/MASTER/sim40917.sim", "/w/PROJECTS/P/bin/"}},
        {"COM70",
         {true, false, true, false},
         "/my tools",
         "/my tools/PROJECTS/A b",
         "/dev/ttyACM5 FW NO PW NO \"/my tools/MASTER/sim40917.sim\" "
         "\"/my tools/PROJECTS/A b/bin/\"",
         {"/dev/ttyACM5", "FW", "NO", "PW", "NO", "/my tools/MASTER/sim40917.sim",
          "/my tools/PROJECTS/A b/bin/"}},
        {"COM1",
         {false, true, false, true},
         "/w",
         "",
         "/dev/ttyS0 NO FR NO PR \"/w/MASTER/sim40917.sim\" \"/bin/\"",
         {"/dev/ttyS0", "NO", "FR", "NO", "PR", "/w/MASTER/sim40917.sim", "/bin/"}},
        // No name can split, add or shift an argument.
        {"",
         {true, true, true, true},
         "/w",
         "/w/P",
         " FW FR PW PR \"/w/MASTER/sim40917.sim\" \"/w/P/bin/\"",
         {"", "FW", "FR", "PW", "PR", "/w/MASTER/sim40917.sim", "/w/P/bin/"}},
        {"COM2",
         {true, true, true, true},
         "/w \"x\"",
         "/w/PROJECTS/Plant\" \"--erase",
         "/dev/ttyS1 FW FR PW PR \"/w \"x\"/MASTER/sim40917.sim\" "
         "\"/w/PROJECTS/Plant\" \"--erase/bin/\"",
         {"/dev/ttyS1", "FW", "FR", "PW", "PR", "/w \"x\"/MASTER/sim40917.sim",
          "/w/PROJECTS/Plant\" \"--erase/bin/"}},
        {"my port",
         {false, true, true, false},
         "/w\\",
         "/w/PROJECTS/a\\\\b \\\"c",
         "my port NO FR PW NO \"/w\\/MASTER/sim40917.sim\" \"/w/PROJECTS/a\\\\b \\\"c/bin/\"",
         {"my port", "NO", "FR", "PW", "NO", "/w\\/MASTER/sim40917.sim",
          "/w/PROJECTS/a\\\\b \\\"c/bin/"}},
    };
    for (const Case& c : cases) {
        const platform::ProgramArguments command =
            updaterCommandLine(c.port, c.options, c.root, c.project);
        EXPECT_EQ(command.parameters, c.parameters) << c.port;
        EXPECT_EQ(command.arguments, c.arguments) << c.port;
    }
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

#endif  // _WIN32

// The serial numbers that SetupAPI's device instance ids hold, and those
// Windows made up for adapters without one.
TEST(ComNames, SerialFromADeviceInstanceId) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"USB\\VID_067B&PID_2303\\A12B34", "A12B34"},
        {"usb\\VID_10C4&PID_EA60\\0001", "0001"},
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "A50285BIA"},
        {"USB\\VID_1A86&PID_7523\\5&2A3F1C4&0&2", std::nullopt},
        {"ACPI\\PNP0501\\1", std::nullopt},
        {"USB\\VID_067B&PID_2303", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001\\0000", std::nullopt},
    };
    for (const auto& [id, serial] : cases)
        EXPECT_EQ(platform::serialFromInstanceId(id), serial) << id;
}

#ifndef _WIN32
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
#endif

class RunAndWaitTest : public testing::Test {
  protected:
    TempFolder folder;
    std::string argsFile = folder / "args.txt";
    void SetUp() override {
        setEnvironment("TARVEL_ARGS_FILE", argsFile.c_str());
        clearEnvironment("TARVEL_UPDATER_SLEEP_MS");
    }
};

// The same pieces as Windows and POSIX hand them over.
platform::ProgramArguments arguments(const std::vector<std::string>& pieces) {
    platform::ProgramArguments command{"", pieces};
    for (const std::string& piece : pieces)
        command.parameters += (command.parameters.empty() ? "" : " ") + piece;
    return command;
}

// What the test updater records of its arguments: each on a line of its own
// (on Windows, as the C runtime splits the parameter string), then "--end--".
std::string recorded(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces) text += piece + "\n";
    return text + "--end--\n";
}

TEST_F(RunAndWaitTest, ProgramThatEndsAtOnceReturnsAtOnceWithItsArgumentsAndExitCode) {
    int looks = 0;
#ifdef _WIN32
    const std::vector<std::string> pieces = {"\\\\.\\COM1", "FW", "NO", "PW", "NO"};
#else
    // Blanks and quotes stay inside their argument; an empty port stays the first.
    const std::vector<std::string> pieces = {
        "", "FW", "NO", "PW", "NO", "/a b/MASTER/sim40917.sim", "/p\" \"q/bin/"};
#endif
    const RunOutcome outcome = runAndWait(FAKE_UPDATER, arguments(pieces), false,
                                          WaitSettings{.whileWaiting = [&](auto) { ++looks; }});
    // At most the status at the start (a program that ended before the first
    // look gives none); no tick of the clock came before the end.
    EXPECT_LE(looks, 1);
    EXPECT_EQ(outcome, (RunOutcome{RunOutcome::Kind::Ended, 3, 150000, {}}));
    EXPECT_EQ(outcomeText(outcome), "Updater ended with exit code 3");
    EXPECT_EQ(readFile(argsFile), recorded(pieces));
    EXPECT_TRUE(outcome.launchError.empty());
#ifndef _WIN32
    EXPECT_EQ(zombieChildren(), 0);
    // The event goes with its run, so that the next run, perhaps another user's, makes its own.
    EXPECT_FALSE(std::filesystem::exists("/dev/shm/sem.HandleCed"));
#endif
}

// Woken by the program's end, not by a look on the clock: the clock stands
// still and each wait may last a minute, so only the end can wake it early.
TEST_F(RunAndWaitTest, TheWaitEndsRightAfterTheProgram) {
    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "300");
    int looks = 0;
    int wakes = 0;
    const RunOutcome outcome = runAndWait(FAKE_UPDATER, arguments({}), false,
                                          WaitSettings{.tickCount = [] { return 0u; },
                                                       .whileWaiting = [&](auto) { ++looks; },
                                                       .waitForWake =
                                                           [&](platform::RunWait& wait, unsigned) {
                                                               ++wakes;
                                                               wait.wait(60000);
                                                           }});
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::Ended);
    EXPECT_EQ(looks, 1);
    EXPECT_EQ(wakes, 1);
}

TEST_F(RunAndWaitTest, ProgramPastTheLimitKeepsRunningAndIsReapedLater) {
    const std::string gate = folder / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate.c_str());
    unsigned long pid = 0;
    // The clock passes the limit at its second reading, while the program
    // waits for the gate: only the limit can have ended the wait.
    std::uint32_t fake = 0;
    const RunOutcome outcome = runAndWait(
        FAKE_UPDATER, arguments({"x"}), false,
        WaitSettings{.timeLimitMs = 150,
                     .tickCount = [&] { return std::exchange(fake, 150u); },
                     .onLaunched = [&](platform::LaunchedProgram& p) { pid = p.processId(); }});
    clearEnvironment("TARVEL_UPDATER_GATE");
    EXPECT_EQ(outcomeText(outcome), "Updater still running after 0 s");
    EXPECT_EQ(outcomeText({RunOutcome::Kind::StillRunning, 0, 150000, {}}),
              "Updater still running after 150 s");
    ASSERT_NE(pid, 0u);
#ifndef _WIN32
    EXPECT_EQ(kill(static_cast<pid_t>(pid), 0), 0);  // still there
#endif
    std::ofstream(gate).put('\n');
    // The program ends on its own and is reaped without this test's help.
    // The long bound only keeps a broken build from hanging.
    const auto giveUp = Clock::now() + std::chrono::seconds(60);
#ifndef _WIN32
    while (kill(static_cast<pid_t>(pid), 0) == 0 && Clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(zombieChildren(), 0);
#else
    while (readFile(argsFile).find("--end--") == std::string::npos && Clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
#endif
    EXPECT_EQ(readFile(argsFile), "x\n--end--\n");
}

TEST_F(RunAndWaitTest, TheClockMayWrapAroundAndProgressIsReported) {
    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "400");
    std::uint32_t fake = 0xFFFFFFFCu;
    std::vector<std::uint32_t> reported;
    // Each reading advances 2 ms across the wrap; the limit is 8 ms of it, so
    // the real waits between readings add up to a few milliseconds.
    const RunOutcome outcome = runAndWait(
        FAKE_UPDATER, arguments({}), false,
        WaitSettings{.timeLimitMs = 8,
                     .tickCount = [&] { return fake += 2; },
                     .whileWaiting = [&](std::uint32_t elapsed) { reported.push_back(elapsed); }});
    // The fake clock ended the wait: the program, asleep for 400 ms, still ran.
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::StillRunning);
    EXPECT_EQ(reported, (std::vector<std::uint32_t>{2, 4, 6}));
}

#ifndef _WIN32
TEST_F(RunAndWaitTest, ABurstOfSignalsWakesTheWaitOnlyBriefly) {
    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "1000");
    int looks = 0;
    int looksAfterBurst = 0;
    const auto burst = [&](std::uint32_t) {
        if (++looks != 1) {
            ++looksAfterBurst;
            return;
        }
        sem_t* event = sem_open("/HandleCed", 0);
        ASSERT_NE(event, SEM_FAILED);
        for (int i = 0; i < 2000000; ++i) sem_post(event);
        sem_close(event);
    };
    const RunOutcome outcome =
        runAndWait(FAKE_UPDATER, arguments({}), false, WaitSettings{.whileWaiting = burst});
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::Ended);
    // While the burst lasts it wakes the wait now and then, never two million
    // times (nor the hundred a second of a polling wait).
    EXPECT_LT(looksAfterBurst, 100);
}

// The event is shared by name: another program's run drains it as it
// starts. A wait that ends meanwhile must still end, though the post that
// stops its watcher may be drained. The event is opened and closed outside
// the draining thread: the C library's table of named semaphores is guarded
// by a lock the thread sanitizer cannot see.
TEST_F(RunAndWaitTest, AWaitEndsWhileAnotherRunDrainsTheEvent) {
    std::atomic<bool> runsDone{false};
    sem_t* event = sem_open("/HandleCed", O_CREAT, 0600, 0);
    ASSERT_NE(event, SEM_FAILED);
    std::thread otherProgram([&] {
        const auto stop = Clock::now() + std::chrono::seconds(3);
        while (!runsDone && Clock::now() < stop) {
            while (sem_trywait(event) == 0) {
            }
        }
    });
    for (int run = 0; run < 5; ++run)
        EXPECT_EQ(runAndWait(FAKE_UPDATER, arguments({}), false, {}).kind, RunOutcome::Kind::Ended);
    runsDone = true;
    otherProgram.join();
    sem_close(event);
}

// Nothing at the terminal reaches the updater: not a key typed ahead (its
// input is the null device), nor Ctrl-C or a hang-up (a session of its own,
// whose id is its own pid).
TEST_F(RunAndWaitTest, TheProgramRunsInASessionOfItsOwnWithNothingToRead) {
    const std::string output = folder / "output.txt";
    // This program's input holds a line typed ahead.
    int typed[2];
    ASSERT_EQ(pipe(typed), 0);
    ASSERT_EQ(write(typed[1], "y\n", 2), 2);
    close(typed[1]);
    const int ownInput = dup(STDIN_FILENO);
    dup2(typed[0], STDIN_FILENO);
    close(typed[0]);
    unsigned long pid = 0;
    const RunOutcome outcome = runAndWait(
        "/bin/sh",
        {"", {"-c", "cut -d' ' -f6 /proc/$$/stat; read line && echo read || echo nothing"}}, false,
        {.onLaunched = [&](platform::LaunchedProgram& p) { pid = p.processId(); },
         .outputFile = output});
    dup2(ownInput, STDIN_FILENO);
    close(ownInput);
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::Ended);
    EXPECT_EQ(readFile(output), std::to_string(pid) + "\nnothing\n");
}

#endif  // _WIN32

TEST_F(RunAndWaitTest, MissingProgramReturnsAtOnce) {
    int looks = 0;
    const RunOutcome outcome =
        runAndWait(folder / "Ser_40917_Update.exe", arguments({"a b"}), false,
                   WaitSettings{.whileWaiting = [&](auto) { ++looks; }});
    EXPECT_EQ(looks, 0);  // no waiting at all
    EXPECT_EQ(outcomeText(outcome), "Updater could not be started");
#ifdef _WIN32
    // The shell's own failing takes its time under Wine; the shell tells the operator.
    EXPECT_TRUE(outcome.launchError.empty());
#else
    EXPECT_EQ(outcome.launchError.rfind("Cannot start " + folder / "Ser_40917_Update.exe: ", 0),
              0u);
#endif
}

}  // namespace
