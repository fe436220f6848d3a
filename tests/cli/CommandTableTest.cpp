// What each command touches and how it answers a script, in the process itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/CliRun.h"
#include "cli/CommandTable.h"
#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

using Result = CliResult;

class CommandTableTest : public testing::Test {
  protected:
    TempFolder folder;
    std::string workspace = folder / "ws";

    Result run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--workspace", workspace});
        return runCli(arguments);
    }
};

TEST_F(CommandTableTest, CommandsWithoutAWorkspaceLeaveNoneBehind) {
    writeFile(folder / "image.bin", std::string("\x04\0\0\0", 4));
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"decode", folder / "image.bin"},
          {"ports"},
          {"-h"},
          {"-V"},
          {"show", "--help"}}) {
        EXPECT_EQ(run(command).status, 0) << command.front();
        EXPECT_FALSE(fs::exists(workspace)) << command.front();
    }
}

// Every command refuses an option it does not take before anything is made.
TEST_F(CommandTableTest, AnOptionACommandDoesNotTakeIsRefusedBeforeTheWorkspaceIsMade) {
    for (const CommandRow& command : commandTable()) {
        const std::string foreign = command.name == "audit" ? "--port" : "--csv";
        const Result result =
            run({command.name, "X", foreign == "--port" ? "--port=COM1" : foreign});
        EXPECT_EQ(result.status, 2) << command.name;
        EXPECT_NE(result.err.find("takes no " + foreign), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(workspace)) << command.name;
    }
}

// --help, the manual page and the completion come from one table: each
// names every option of every command.
TEST_F(CommandTableTest, HelpManualPageAndCompletionNameEveryOption) {
#ifdef TARVEL_REFERENCE_DIR
    const std::string page = readFile(TARVEL_REFERENCE_DIR "/man/tarvel-cli.1");
    const std::string completion = readFile(TARVEL_REFERENCE_DIR "/completion/tarvel-cli");
    ASSERT_NE(completion.find("_tarvel_cli()"), std::string::npos);
#endif
    for (const CommandRow& command : commandTable()) {
        const Result help = run({command.name, "-h"});
        EXPECT_EQ(help.status, 0) << command.name;
        EXPECT_EQ(help.out, command.usage);
#ifdef TARVEL_REFERENCE_DIR
        const std::size_t section = page.find(".SS " + command.name + "\n");
        ASSERT_NE(section, std::string::npos) << command.name;
        const std::string ownPart = page.substr(section, page.find(".S", section + 1) - section);
        const std::string ownCompletion = completion.substr(completion.find("local options="));
        for (const std::string& option : command.options) {
            EXPECT_NE(ownPart.find(option), std::string::npos) << command.name << " " << option;
            EXPECT_NE(ownCompletion.find(command.name + ") options+=\""), std::string::npos);
            EXPECT_NE(completion.find(option), std::string::npos) << option;
        }
#endif
    }
}

TEST_F(CommandTableTest, AFailureAnswersAJsonReaderWithAnErrorObject) {
    fs::create_directory(workspace);
    const Result missing = run({"show", "Nope", "--json"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tarvel-cli: Nope: Project not valid\n");
    EXPECT_EQ(nlohmann::json::parse(missing.out),
              nlohmann::json::parse(
                  R"({"version": 1, "error": {"name": "Nope", "message": "Project not valid"}})"));
    const Result usage = run({"show", "--json"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(nlohmann::json::parse(usage.out)["error"]["name"].is_null());
}

TEST_F(CommandTableTest, ApplyReportsInTheOrderOfTheRows) {
    ASSERT_EQ(run({"new", "Old"}).status, 0);
    writeFile(folder / "fleet.csv", "name,mode\nNew-1,1\nOld,1\nNew-2,0\n");
    EXPECT_EQ(run({"apply", folder / "fleet.csv"}).out,
              "created New-1\nchanged Old\ncreated New-2\n");
    // Again, with one row changed: the others are left as they are.
    writeFile(folder / "fleet.csv", "name,mode\nNew-1,1\nOld,0\nNew-2,0\n");
    EXPECT_EQ(run({"apply", folder / "fleet.csv"}).out,
              "unchanged New-1\nchanged Old\nunchanged New-2\n");
    // A project that lost its document gets it again, though its image is
    // the head alone that no document gives.
    ASSERT_TRUE(fs::remove(workspace + "/PROJECTS/New-2/pargen.xml"));
    writeFile(workspace + "/PROJECTS/New-2/bin/bank.bin", std::string("\x04\0\0\0", 4));
    EXPECT_EQ(run({"apply", folder / "fleet.csv"}).out,
              "unchanged New-1\nunchanged Old\nchanged New-2\n");
}

// Over RS232 the image fixes the frame at 8 data bits and 1 stop bit.
TEST_F(CommandTableTest, FramingTheDeviceWillNotGetIsNamed) {
    ASSERT_EQ(run({"new", "P"}).status, 0);
    const std::string warning =
        "tarvel-cli: P: rtu.data 7 is not written to the device: over RS232 it takes 8 data "
        "bits and 1 stop bit\n";
    const Result set = run({"set", "P", "rtu.line=RS232", "rtu.data=7", "rtu.stop=1"});
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.err, warning);
    EXPECT_EQ(run({"image", "P"}).err, warning);
    EXPECT_EQ(run({"set", "P", "ascii.data=7"}).err, "");  // RS485: the device takes it
}

}  // namespace
