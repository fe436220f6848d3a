// What no command may lose or write where it should not, in the process itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <utility>

#include "cli/CliRun.h"
#include "documents/GeneralParameters.h"
#include "documents/XmlDocument.h"
#include "platform/FileSystem.h"
#include "project/BuildMarker.h"
#include "project/ProjectLock.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

using Result = CliResult;

class ProjectSafetyTest : public testing::Test {
  protected:
    TempFolder workspace;

    Result run(std::vector<std::string> arguments, platform::LockPause lockPause = {}) {
        arguments.insert(arguments.begin(), {"--workspace", workspace.path()});
        CliEnvironment environment;
        environment.lockPause = std::move(lockPause);
        return runCli(arguments, environment);
    }
    std::string projects(const std::string& path = "") {
        return workspace / ("PROJECTS" + (path.empty() ? "" : "/" + path));
    }
    nlohmann::json shown(const std::string& name) {
        return nlohmann::json::parse(run({"show", name, "--json"}).out);
    }
};

TEST_F(ProjectSafetyTest, NamesHaveOneSpellingThatWindowsAccepts) {
    ASSERT_EQ(run({"new", "C1"}).status, 0);
    for (const std::string name :
         {"P/", "P//x", "./P", "C1/./x", "C1/bin/x", "COM0", "lpt9.txt", "COM\xC2\xB9",
          "LPT\xC2\xB3", "CONIN$", "conout$.log", "con .txt", "A\xC0\xAF", "A\xE0\x80\xAF",
          "A\xED\xA0\x80", "A\xF4\x90\x80\x80",
          "A\xEF\xBB\xBF"
          "B",
          "\xEF\xBB\xBF"
          "A"}) {
        const Result result = run({"new", name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_NE(result.err.find(": Name project not valid\n"), std::string::npos) << result.err;
    }
    EXPECT_EQ(run({"copy", "C1", "C1/bin/z"}).status, 1);
    EXPECT_EQ(platform::folderEntries(projects()), std::vector<std::string>{"C1"});
    EXPECT_TRUE(platform::folderEntries(projects("C1/bin")).empty());
    for (const std::string name : {"COM10", "Plant \xC2\xB9", "CONSOLE"})
        EXPECT_EQ(run({"new", name}).status, 0) << name;
}

TEST_F(ProjectSafetyTest, FoldersThatAreNotAbandonedBuildsSurviveEveryWayOfMakingProjects) {
    ASSERT_EQ(run({"new", "Source"}).status, 0);
    fs::create_directories(projects(".archive.new-2024"));
    writeFile(projects(".archive.new-2024/keep.txt"), "mine");
    ASSERT_EQ(run({"copy", "Source", ".g.new-3001"}).status, 0);
    BuildMarker dead = markerOfThisProcess(newBuildFolderName(), "Killed");
    dead.builder.processId = 999999999;
    fs::create_directories(projects(dead.folder));
    writeFile(projects(dead.folder + "/" + kBuildMarkerName), formatBuildMarker(dead));
    // A live process whose start could not be read when it wrote its marker.
    BuildMarker unread = markerOfThisProcess(newBuildFolderName(), "Unread");
    unread.builder.start.reset();
    fs::create_directories(projects(unread.folder + "/project"));
    writeFile(projects(unread.folder + "/" + kBuildMarkerName), formatBuildMarker(unread));
    writeFile(projects(unread.folder + "/project/pargen.xml"), "mine");

    writeFile(workspace / "fleet.csv", "name,mode\nFleet,1\n");
    for (const std::vector<std::string>& command : {std::vector<std::string>{"new", "Fresh"},
                                                    {"copy", "Source", "Copied"},
                                                    {"apply", workspace / "fleet.csv"}})
        ASSERT_EQ(run(command).status, 0) << command.front();
    EXPECT_EQ(readFile(projects(".archive.new-2024/keep.txt")), "mine");
    EXPECT_EQ(shown(".g.new-3001")["mode"], 0);
    EXPECT_FALSE(fs::exists(projects(dead.folder)));
    EXPECT_EQ(readFile(projects(unread.folder + "/project/pargen.xml")), "mine");
    EXPECT_FALSE(fs::exists(projects(std::string("Fleet/") + kBuildMarkerName)));
}

// What a killed write leaves is a file of ours; a folder or a link of a name
// like it is the user's.
TEST_F(ProjectSafetyTest, OnlyLeftoverFilesOfKilledWritesAreRemoved) {
    ASSERT_EQ(run({"new", "P1"}).status, 0);
    const std::vector<std::string> kept = {".pargen.xml.Notes1/keep.txt",
                                           "bin/.bank.bin.2024-12/keep.txt"};
    for (const std::string& file : kept) {
        fs::create_directories(fs::path(projects("P1/" + file)).parent_path());
        writeFile(projects("P1/" + file), "mine");
    }
#ifdef _WIN32
    const std::vector<std::string> leftovers = {"pargen.xml.tmp4242-0-1", "bin/bank.bin.tmp7-1-2"};
#else
    const std::vector<std::string> leftovers = {".pargen.xml.a1B2c3", ".pargen.xml.4242-0",
                                                "bin/.bank.bin.Zx9q0W"};
    fs::create_symlink(projects("P1/pargen.xml"), projects("P1/.pargen.xml.QWERTY"));
    fs::create_symlink("keep.txt", projects("P1/.var.xml.777-1"));
#endif
    for (const std::string& file : leftovers) writeFile(projects("P1/" + file), "half");
    ASSERT_EQ(run({"set", "P1", "rtu.baud=9600"}).status, 0);
    for (const std::string& file : kept) EXPECT_EQ(readFile(projects("P1/" + file)), "mine");
    for (const std::string& file : leftovers) EXPECT_FALSE(fs::exists(projects("P1/" + file)));
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(projects("P1/.pargen.xml.QWERTY")));
    EXPECT_TRUE(fs::is_symlink(projects("P1/.var.xml.777-1")));
#endif
}

// apply checks every row first, without the lock; what it then writes is the
// row applied to what the project holds under the lock.
TEST_F(ProjectSafetyTest, ApplyKeepsAChangeMadeWhileItWaitedForTheLock) {
    ASSERT_EQ(run({"new", "P"}).status, 0);
    writeFile(workspace / "fleet.csv", "name,ascii.parity\nP,ODD\n");
    Result applied;
    std::thread applying;
    {
        const ProjectLock otherWriter(projects("P"), "P");
        std::promise<void> waiting;
        bool told = false;
        const auto pause = [&](unsigned ms) {
            if (!std::exchange(told, true))
                waiting.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
        applying = std::thread([&] { applied = run({"apply", workspace / "fleet.csv"}, pause); });
        // The other writer's change, made once apply has read P and waits for its lock.
        waiting.get_future().wait();
        GeneralParameters parameters;
        parameters.rtu.baudRate = 5;  // 38400
        XmlDocument document;
        writeGeneralParameters(document, parameters, projects("P/pargen.xml"));
    }
    applying.join();
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_EQ(shown("P")["rtu"]["baud"], 38400);
    EXPECT_EQ(shown("P")["ascii"]["parity"], "ODD");
}

// A project that already holds the row's values and image is left as it is
// without its lock: a resume never waits for, nor fails on, a busy writer.
TEST_F(ProjectSafetyTest, ApplyLeavesAnUnchangedProjectAloneWhileItsLockIsHeld) {
    writeFile(workspace / "fleet.csv", "name,ascii.parity\nP,ODD\n");
    ASSERT_EQ(run({"apply", workspace / "fleet.csv"}).status, 0);
    const ProjectLock otherWriter(projects("P"), "P");
    bool waited = false;
    const Result again = run({"apply", workspace / "fleet.csv"}, [&](unsigned) { waited = true; });
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "unchanged P\n");
    EXPECT_FALSE(waited);
}

TEST_F(ProjectSafetyTest, LongNamesSharingTheirStartStayTwoProjects) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows paths end at 260 characters";
#endif
    const std::string start(250, 'L');
    writeFile(workspace / "fleet.csv",
              "name,rtu.baud\n" + start + "1,19200\n" + start + "2,38400\nP,1200\nP/,2400\n");
    const Result refused = run({"apply", workspace / "fleet.csv"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(": line 5: Name project not valid\n"), std::string::npos);
    writeFile(workspace / "fleet.csv",
              "name,rtu.baud\n" + start + "1,19200\n" + start + "2,38400\n");
    ASSERT_EQ(run({"apply", workspace / "fleet.csv"}).status, 0);
    EXPECT_EQ(shown(start + "1")["rtu"]["baud"], 19200);
    EXPECT_EQ(shown(start + "2")["rtu"]["baud"], 38400);
}

TEST_F(ProjectSafetyTest, HostileInputIsRefusedInAFewWords) {
    const std::string huge(10 << 20, '9');
    const struct {
        const char* what;
        std::string csv;
        std::string message;
    } cases[] = {
        {"a quote inside an unquoted cell", "name,mode\nP\"x\",1\n",
         ": line 2: a quote inside an unquoted cell\n"},
        {"a 10 MB value", "name,rtu.baud\nP," + huge + "\n",
         ": line 2: '" + huge.substr(0, 60) + "\xE2\x80\xA6' is not a baud rate"},
        {"a NUL in a value",
         std::string("name,rtu.baud\nP,96\0"
                     "00\n",
                     22),
         ": line 2: '96\\000' is not a baud rate"},
        {"a line of commas", "name" + std::string(1 << 20, ',') + "\n",
         ": line 1: more than 64 cells\n"},
    };
    for (const auto& c : cases) {
        writeFile(workspace / "odd.csv", c.csv);
        const Result result = run({"apply", workspace / "odd.csv"});
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
        EXPECT_LT(result.err.size(), 1024u) << c.what;
    }
    EXPECT_FALSE(fs::exists(projects("P")));

    const Result longName = run({"new", std::string(100000, 'n')});
    EXPECT_EQ(longName.status, 1);
    EXPECT_LT(longName.err.size(), 1024u);

    std::istringstream flood(std::string((16 << 20) + 1, ','));
    std::streambuf* const input = std::cin.rdbuf(flood.rdbuf());
    const Result piped = run({"apply", "-"});
    std::cin.rdbuf(input);
    EXPECT_EQ(piped.err, "tarvel-cli: -: standard input is larger than 16 MiB\n");

    writeFile(workspace / "image.bin", "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(run({"decode", workspace / "image.bin"}).out, "FF FF FF FF\nhead: 4294967295\n");
}

// copy copies documents, never wider readable than their source, and
// nothing that is not one.
TEST_F(ProjectSafetyTest, CopyTakesOnlyDocumentsAndTheirMode) {
    ASSERT_EQ(run({"new", "P"}).status, 0);
#ifndef _WIN32
    fs::permissions(projects("P/pargen.xml"), fs::perms(0640));
    ASSERT_EQ(run({"copy", "P", "Q"}).status, 0);
    EXPECT_EQ(fs::status(projects("Q/pargen.xml")).permissions(), fs::perms(0640));
#endif
    writeFile(projects("P/var.xml"), "root:$6$secret:19000:0:99999:7:::\n");
    const Result refused = run({"copy", "P", "R"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("The project R could not be created"), std::string::npos);
    EXPECT_FALSE(fs::exists(projects("R")));
}

// A root run never reads or writes through a link that another user made;
// a link of one's own is followed as before.
TEST_F(ProjectSafetyTest, LinksThatAnotherUserMadeAreNeverFollowed) {
    ASSERT_EQ(run({"new", "P"}).status, 0);
    const std::string victim = workspace / "victim";
    writeFile(victim, "precious");
    const std::string image = projects("P/bin/bank.bin");
    if (!makeAnotherUsersLink(victim, image))
        GTEST_SKIP() << "only root gives a link to another user";
    const std::string refusal = " is a link that another user made.\n";
    Result result = run({"image", "P"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tarvel-cli: P: " + image + refusal);
    fs::remove(image);

    fs::rename(projects("P/pargen.xml"), workspace / "pargen.xml");
    ASSERT_TRUE(makeAnotherUsersLink(victim, projects("P/pargen.xml")));
    ASSERT_TRUE(makeAnotherUsersLink(projects("P"), projects("L")));
    for (const std::vector<std::string>& command : {std::vector<std::string>{"set", "P", "mode=1"},
                                                    {"copy", "P", "Q"},
                                                    {"show", "P"},
                                                    {"image", "L"}}) {
        result = run(command);
        EXPECT_EQ(result.status, 1) << command.front();
        EXPECT_NE(result.err.find(refusal), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_FALSE(fs::exists(projects("Q")));

    // Links of one's own: the document and the image are written where they lead.
    fs::remove(projects("P/pargen.xml"));
    fs::create_symlink(workspace / "pargen.xml", projects("P/pargen.xml"));
    fs::create_symlink(victim, image);
    ASSERT_EQ(run({"set", "P", "mode=1"}).status, 0);
    ASSERT_EQ(run({"image", "P"}).status, 0);
    EXPECT_EQ(readFile(victim).size(), 19u);
    EXPECT_TRUE(fs::is_symlink(projects("P/pargen.xml")));
    EXPECT_EQ(shown("P")["mode"], 1);
}

}  // namespace
