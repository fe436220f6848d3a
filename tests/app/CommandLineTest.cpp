#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/CommandLine.h"
#include "support/Environment.h"
#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

// tarvel-cli as a whole process, on a workspace of the test's own.
class CommandLineTest : public testing::Test {
  protected:
    TempFolder workspace;

    Result cli(const std::string& arguments) {
        const std::string out = workspace / "out.txt";
        const std::string err = workspace / "err.txt";
        const std::string command = std::string(TARVEL_CLI) + " --workspace '" + workspace.path() +
                                    "' " + arguments + " >'" + out + "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        return {WEXITSTATUS(status), readFile(out), readFile(err)};
    }
    std::string project(const std::string& file) { return workspace / ("PROJECTS/Demo/" + file); }
};

std::string golden(const std::string& name) {
    return readFile(std::string(TARVEL_TEST_DATA) + "/documents/golden/" + name);
}

TEST_F(CommandLineTest, NewShowSetAndImageGiveWhatTheWindowsGive) {
    ASSERT_EQ(cli("new Demo").status, 0);
    EXPECT_EQ(readFile(project("pargen.xml")), golden("default_pargen.xml"));
    EXPECT_EQ(readFile(project("var.xml")), golden("empty_var.xml"));
    EXPECT_TRUE(fs::is_directory(project("bin")));

    ASSERT_EQ(cli("set Demo rtu.parity=EVEN rtu.stop=2 ascii.line=RS232 ascii.baud=19200 "
                  "ascii.data=6 ascii.stop=2 ascii.timeout=60000")
                  .status,
              0);
    const Result shown = cli("show Demo");
    EXPECT_EQ(shown.out,
              "mode: 0 (Modbus RTU Slave <--> Modbus ASCII Master)\n"
              "rtu.line: RS485\nrtu.baud: 9600\nrtu.parity: EVEN\nrtu.data: 8\nrtu.stop: 2\n"
              "rtu.timeout: 1000\nascii.line: RS232\nascii.baud: 19200\nascii.parity: NONE\n"
              "ascii.data: 6\nascii.stop: 2\nascii.timeout: 60000\n");

    // The worked example of the image layout.
    const Result image = cli("image Demo");
    EXPECT_EQ(image.status, 0) << image.err;
    EXPECT_EQ(image.out,
              "04 00 00 00 00 01 03 02 E8 03 00 04 00 60 EA 03 02 03 00\n"
              "head: 4\nmode: 0 (Modbus RTU Slave <--> Modbus ASCII Master)\n"
              "rtu.line: 1 (RS485)\nrtu.baud: 3 (9600)\nrtu.parity: 2 (EVEN)\n"
              "rtu.timeout: 1000 (ms)\nascii.line: 0 (RS232)\nascii.baud: 4 (19200)\n"
              "ascii.parity: 0 (NONE)\nascii.timeout: 60000 (ms)\nrtu.data: 3 (8)\n"
              "rtu.stop: 2 (2)\nascii.data: 3 (8)\nascii.stop: 0 (1)\n");
    EXPECT_EQ(readFile(project("bin/bank.bin")),
              std::string("\x04\0\0\0\0\x01\x03\x02\xE8\x03\0\x04\0\x60\xEA\x03\x02\x03\0", 19));

    const auto json = nlohmann::json::parse(cli("image Demo --json").out);
    EXPECT_EQ(json["length"], 19);
    EXPECT_EQ(json["fields"]["ascii.timeout"], 60000);
    const auto parameters = nlohmann::json::parse(cli("show Demo --json").out);
    EXPECT_EQ(parameters["ascii"]["baud"], "19200");
    EXPECT_EQ(parameters["modeText"], "Modbus RTU Slave <--> Modbus ASCII Master");
}

TEST_F(CommandLineTest, RefusalsSayWhyAndWriteNothing) {
    ASSERT_EQ(cli("new Demo").status, 0);
    writeFile(workspace / "PROJECTS/Broken/pargen.xml", "");
    fs::create_directories(workspace / "PROJECTS/Broken/bin");
    writeFile(workspace / "PROJECTS/Broken/pargen.xml", "<General_Parameter/>");
    writeFile(workspace / "PROJECTS/Broken/bin/bank.bin", "old");
    const struct {
        std::string arguments;
        int status;
        std::string err;
    } cases[] = {
        {"new Demo", 1, "Name project not valid because directory already exists\n"},
        {"new 'a|b'", 1, "Name project not valid\n"},
        {"new ../Outside", 1, "Name project not valid\n"},
        {"set Demo rtu.line=RS232 ascii.line=RS232", 1,
         "Error! The RS232 is already assigned to the RTU side\n"},
        {"set Demo mode=1 rtu.timeout=60001", 1,
         "Error!! TimeOut RTU must be between 0 and 60000 ms. \n"},
        {"set Demo ascii.timeout=fast", 1,
         "Error!! TimeOut ASCII must be between 0 and 60000 ms. \n"},
        {"set Demo rtu.baud=14400", 1, "'14400' is not a baud rate of the list for rtu.baud\n"},
        // A slave side's time-out too: the image would hold what the dialog refuses.
        {"set Demo ascii.timeout=70000", 1,
         "Error!! TimeOut ASCII must be between 0 and 60000 ms. \n"},
        {"set Demo rtu.timeout=abc", 1, "Error!! TimeOut RTU must be between 0 and 60000 ms. \n"},
        {"set . mode=1", 1, ". is not a project\n"},
        {"set Demo/bin mode=1", 1, "Demo/bin is not a project\n"},
        {"new CON.txt", 1, "Name project not valid\n"},
        {"show Missing", 1, "Project not valid\n"},
        {"image Broken", 1,
         "The element MODE_DEV is missing in " + workspace / "PROJECTS/Broken/pargen.xml.\n"},
    };
    for (const auto& c : cases) {
        const Result result = cli(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments;
        EXPECT_EQ(result.err, c.err) << c.arguments;
    }
    EXPECT_EQ(readFile(project("pargen.xml")), golden("default_pargen.xml"));
    EXPECT_EQ(readFile(workspace / "PROJECTS/Broken/bin/bank.bin"), "old");
    EXPECT_FALSE(fs::exists(workspace / "Outside"));
    EXPECT_FALSE(fs::exists(workspace / "Tarvel.ini"));
    EXPECT_FALSE(fs::exists(workspace / "PROJECTS/pargen.xml"));
    EXPECT_FALSE(fs::exists(project("bin/pargen.xml")));
}

#ifndef _WIN32
// Two scripts setting different keys of one project at once: both changes stay.
TEST_F(CommandLineTest, ConcurrentWritersTakeTurns) {
    ASSERT_EQ(cli("new Demo").status, 0);
    const std::string tool = std::string("'") + TARVEL_CLI + "' --workspace '" + workspace.path();
    const char* bauds[] = {"19200", "38400"};
    const char* parities[] = {"ODD", "EVEN"};
    for (int round = 0; round < 10; ++round) {
        const std::string baud = bauds[round % 2];
        const std::string parity = parities[round % 2];
        const std::string both = tool + "' set Demo rtu.baud=" + baud + " & " + tool +
                                 "' set Demo ascii.parity=" + parity + " & wait";
        ASSERT_EQ(std::system(("sh -c \"" + both + "\"").c_str()), 0);
        const auto shown = nlohmann::json::parse(cli("show Demo --json").out);
        EXPECT_EQ(shown["rtu"]["baud"], baud) << round;
        EXPECT_EQ(shown["ascii"]["parity"], parity) << round;
    }
    EXPECT_TRUE(fs::exists(project(".tarvel-lock")));
    EXPECT_FALSE(fs::exists(project("bin/.tarvel-lock")));
}
#endif

TEST_F(CommandLineTest, UsageErrorsHelpAndVersion) {
    for (const char* arguments : {"", "bogus", "show", "set Demo baud", "set Demo rtu.speed=1",
                                  "update Demo", "image Demo --fast", "ports extra"}) {
        const Result result = cli(arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_NE(result.err.find("Usage: tarvel-cli"), std::string::npos) << arguments;
    }
    EXPECT_EQ(cli("--version").out, "1.102\n");
    EXPECT_EQ(cli("--help").out.rfind("Usage: tarvel-cli [--workspace DIR] COMMAND", 0), 0u);
    EXPECT_EQ(cli("update --help").out.rfind("Usage: tarvel-cli update NAME --port COMn", 0), 0u);
}

// update, in the process itself, with a fake serial layer and the test updater.
class UpdateCommandTest : public testing::Test {
  protected:
    TempFolder workspace;
    std::shared_ptr<FakeSerialApi> serial = std::make_shared<FakeSerialApi>();
    std::string argsFile = workspace / "args.txt";

    void SetUp() override {
        fs::copy_file(FAKE_UPDATER, workspace / "Ser_40917_Update.exe");
        setEnvironment("TARVEL_ARGS_FILE", argsFile.c_str());
        clearEnvironment("TARVEL_UPDATER_SLEEP_MS");
        serial->devices = {"COM3"};
        ASSERT_EQ(run({"new", "Plant 1"}).status, 0);
    }

    Result run(std::vector<std::string> arguments, std::uint32_t timeLimitMs = 150000) {
        arguments.insert(arguments.begin(), {"--workspace", workspace.path()});
        std::ostringstream out;
        std::ostringstream err;
        const CliEnvironment environment{"", serial, false,
                                         WaitSettings{.timeLimitMs = timeLimitMs}};
        const int status = runCommandLine(arguments, out, err, environment);
        return {status, out.str(), err.str()};
    }
};

TEST_F(UpdateCommandTest, RunsTheUpdaterWithTheWizardsArgumentsAndReportsItsEnd) {
    setEnvironment("TARVEL_UPDATER_EXIT_CODE", "0");
    const Result done = run({"update", "Plant 1", "--port", "COM3", "--no-read-firmware"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.out, "Updater ended with exit code 0\n");
    EXPECT_EQ(readFile(argsFile), "/dev/ttyS2\nFW\nNO\nPW\nPR\n" +
                                      workspace / "MASTER/sim40917.sim" + "\n" +
                                      workspace / "PROJECTS/Plant 1/bin/\n--end--\n");
    EXPECT_EQ(readFile(workspace / "PROJECTS/Plant 1/bin/bank.bin").size(), 19u);
    EXPECT_EQ(serial->openHandles(), 0);  // tested and released before the run

    setEnvironment("TARVEL_UPDATER_EXIT_CODE", "3");
    const Result failed = run({"update", "Plant 1", "--port", "COM3"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "Updater ended with exit code 3\n");

    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "600");
    const Result late = run({"update", "Plant 1", "--port", "COM3"}, 100);
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err, "Updater still running after 0 s\n");
    clearEnvironment("TARVEL_UPDATER_SLEEP_MS");
    clearEnvironment("TARVEL_UPDATER_EXIT_CODE");
}

TEST_F(UpdateCommandTest, APortThatCannotBeOpenedRunsNoUpdater) {
    for (const char* port : {"COM4", "COM3"}) {
        if (std::string(port) == "COM3")
            serial->failCall("escapeCommFunction", 1);  // DTR refused, as on a busy line
        const Result result = run({"update", "Plant 1", "--port", port});
        EXPECT_EQ(result.status, 1) << port;
        EXPECT_EQ(result.err, "Error!! Com Port cannot be open.\n") << port;
    }
    EXPECT_FALSE(fs::exists(argsFile));
    EXPECT_EQ(serial->openHandles(), 0);
}

}  // namespace
