#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "cli/CliRun.h"
#include "platform/SerialNames.h"
#include "support/Environment.h"
#include "support/FakeSerialApi.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

using Result = CliResult;

// The words of a command line as a POSIX shell splits them: at blanks, with
// '...' keeping blanks and the like inside one word.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> split;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord)
                split.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        split.push_back(word);
    return split;
}

// tarvel-cli in the process itself, on a workspace of the test's own, so
// that these tests run under Wine too.
class CommandLineTest : public testing::Test {
  protected:
    TempFolder workspace;

    Result run(const std::vector<std::string>& arguments) { return runCli(arguments); }
    Result cli(const std::string& arguments) {
        std::vector<std::string> all = {"--workspace", workspace.path()};
        for (const std::string& word : words(arguments)) all.push_back(word);
        return run(all);
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
    EXPECT_EQ(json["version"], 1);
    EXPECT_EQ(json["length"], 19);
    EXPECT_EQ(json["fields"]["ascii.timeout"], 60000);
    EXPECT_EQ(cli("decode " + project("bin/bank.bin")).out, image.out);
    const auto parameters = nlohmann::json::parse(cli("--json show Demo").out);
    EXPECT_EQ(parameters["version"], 1);
    EXPECT_EQ(parameters["ascii"]["baud"], 19200);
    EXPECT_EQ(parameters["ascii"]["line"], "RS232");
    EXPECT_EQ(parameters["rtu"]["timeout"], 1000);
    EXPECT_EQ(parameters["modeText"], "Modbus RTU Slave <--> Modbus ASCII Master");

    // show's JSON fed back makes another project's image the same.
    writeFile(workspace / "demo.json", cli("show Demo --json").out);
    ASSERT_EQ(cli("copy Demo Copy").status, 0);
    EXPECT_FALSE(fs::exists(workspace / "PROJECTS/Copy/bin/bank.bin"));
    ASSERT_EQ(cli("new Other").status, 0);
    const Result fed = cli("set Other --from=" + workspace / "demo.json");
    ASSERT_EQ(fed.status, 0) << fed.err;
    EXPECT_EQ(cli("image Other").out, image.out);
    EXPECT_EQ(cli("image Copy").out, image.out);
}

// One refused command line each; {ws} stands for the workspace, {sep} for
// the platform's separator.
struct Refusal {
    const char* arguments;
    const char* err;
};

class Refusals : public CommandLineTest, public testing::WithParamInterface<Refusal> {
  protected:
    std::string placed(std::string text) {
        for (std::size_t at; (at = text.find("{ws}")) != std::string::npos;)
            text.replace(at, 4, workspace.path());
        for (std::size_t at; (at = text.find("{sep}")) != std::string::npos;)
            text.replace(at, 5, std::string(1, native("/").front()));
        return text;
    }
};

TEST_P(Refusals, SayWhyAndWriteNothing) {
    ASSERT_EQ(cli("new Demo").status, 0);
    fs::create_directories(workspace / "PROJECTS/Broken/bin");
    writeFile(workspace / "PROJECTS/Broken/pargen.xml", "<General_Parameter/>");
    writeFile(workspace / "PROJECTS/Broken/bin/bank.bin", "old");
    const Result result = cli(placed(GetParam().arguments));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, placed(GetParam().err));
    EXPECT_EQ(readFile(project("pargen.xml")), golden("default_pargen.xml"));
    EXPECT_EQ(readFile(workspace / "PROJECTS/Broken/bin/bank.bin"), "old");
    EXPECT_FALSE(fs::exists(workspace / "Outside"));
    EXPECT_FALSE(fs::exists(workspace / "Tarvel.ini"));
    EXPECT_FALSE(fs::exists(workspace / "PROJECTS/pargen.xml"));
    EXPECT_FALSE(fs::exists(project("bin/pargen.xml")));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Refusals,
    testing::Values(
        Refusal{"new Demo",
                "tarvel-cli: Demo: Name project not valid because directory already exists\n"},
        Refusal{"new 'a|b'", "tarvel-cli: a|b: Name project not valid\n"},
        Refusal{"new ../Outside", "tarvel-cli: ../Outside: Name project not valid\n"},
        Refusal{"set Demo rtu.line=RS232 ascii.line=rs232",
                "tarvel-cli: Demo: Error! The RS232 is already assigned to the RTU side\n"},
        Refusal{"set Demo mode=1 rtu.timeout=60001",
                "tarvel-cli: Demo: Error!! TimeOut RTU must be between 0 and 60000 ms. \n"},
        Refusal{"set Demo rtu.baud=14400",
                "tarvel-cli: Demo: '14400' is not a baud rate (1200, 2400, 4800, 9600, 19200, "
                "38400, 57600 or 115200) for rtu.baud\n"},
        // A slave side's time-out too: the image would hold what the dialog refuses.
        Refusal{"set Demo ascii.timeout=70000",
                "tarvel-cli: Demo: Error!! TimeOut ASCII must be between 0 and 60000 ms. \n"},
        Refusal{"set Demo rtu.timeout=abc",
                "tarvel-cli: Demo: Error!! TimeOut RTU must be between 0 and 60000 ms. \n"},
        Refusal{"set . mode=1", "tarvel-cli: .: . is not a project\n"},
        Refusal{"set Demo/bin mode=1", "tarvel-cli: Demo/bin: Demo/bin is not a project\n"},
        Refusal{"new CON.txt", "tarvel-cli: CON.txt: Name project not valid\n"},
        Refusal{"show Missing", "tarvel-cli: Missing: Project not valid\n"},
        Refusal{"image Broken",
                "tarvel-cli: Broken: The element MODE_DEV is missing in "
                "{ws}{sep}PROJECTS{sep}Broken{sep}pargen.xml.\n"},
        Refusal{"decode {ws}{sep}PROJECTS{sep}Demo{sep}var.xml",
                "tarvel-cli: {ws}{sep}PROJECTS{sep}Demo{sep}var.xml: is not a device image: 13 "
                "bytes, where one has 4 or 19\n"}));

class UsageErrors : public CommandLineTest, public testing::WithParamInterface<const char*> {};

TEST_P(UsageErrors, ShowTheUsage) {
    const Result result = cli(GetParam());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("tarvel-cli: ", 0), 0u);
    EXPECT_NE(result.err.find("Usage: tarvel-cli"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(CommandLine, UsageErrors,
                         testing::Values("", "bogus", "show", "set Demo baud",
                                         "set Demo rtu.speed=1", "update Demo", "image Demo --fast",
                                         "ports extra", "show Demo --port COM1", "new"));

TEST_F(CommandLineTest, ConventionsOfCommandLines) {
    for (const char* arguments : {"--version", "-V", "show -V"})
        EXPECT_EQ(cli(arguments).out, "1.102\n") << arguments;
    for (const char* arguments : {"--help", "-h"})
        EXPECT_EQ(cli(arguments).out.rfind("Usage: tarvel-cli [--workspace DIR]", 0), 0u);
    EXPECT_EQ(cli("update -h").out.rfind("Usage: tarvel-cli update NAME --port COMn", 0), 0u);
    // Options after the command, --opt=value, and -- before an operand that looks like one.
    ASSERT_EQ(cli("new -- -Odd").status, 0);
    EXPECT_TRUE(fs::is_directory(workspace / "PROJECTS/-Odd"));
    EXPECT_EQ(cli("set -- -Odd rtu.parity=odd").status, 0);
    EXPECT_NE(cli("show -- -Odd").out.find("rtu.parity: ODD"), std::string::npos);

    // A new workspace folder is made, with MASTER and PROJECTS.
    const std::string fresh = workspace / "plant";
    const Result made = run({"new", "Line-7", "--workspace=" + fresh});
    ASSERT_EQ(made.status, 0);
    EXPECT_EQ(made.err, "tarvel-cli: created workspace " + fresh + "\n");
    EXPECT_TRUE(fs::is_directory(fresh + "/MASTER"));
    EXPECT_TRUE(fs::is_directory(fresh + "/PROJECTS/Line-7/bin"));
}

TEST_F(CommandLineTest, ImagesKeepTheDeviceFormatAndSayWhatTheyStored) {
    ASSERT_EQ(cli("new Demo").status, 0);
    std::string document = readFile(project("pargen.xml"));
    document.replace(document.find("<MODE_DEV>0<"), 12, "<MODE_DEV>257<");
    document.replace(document.find("<TO_RTU>1000<"), 13, "<TO_RTU>70000<");
    writeFile(project("pargen.xml"), document);
    const Result image = cli("image Demo");
    EXPECT_EQ(image.status, 0);
    EXPECT_EQ(image.err,
              "tarvel-cli: Demo: MODE_DEV 257 is stored as 1\n"
              "tarvel-cli: Demo: TO_RTU 70000 is stored as 4464\n");
    EXPECT_EQ(readFile(project("bin/bank.bin")).substr(4, 6),
              std::string("\x01\x01\x03\x00\x70\x11", 6));
}

// A fleet from a spreadsheet's CSV: checked whole first, then written in one process.
TEST_F(CommandLineTest, ApplyChecksEveryRowThenWritesThemAll) {
    ASSERT_EQ(cli("new Existing").status, 0);
    std::string csv = "\xEF\xBB\xBFname;rtu.baud;ascii.parity;\"rtu.timeout\"\r\n";
    for (int i = 1; i <= 20; ++i)
        csv += "Line-" + std::to_string(i) + ";19200;even;" + std::to_string(100 * i) + "\r\n";
    csv += "Existing;;ODD;\r\n";
    writeFile(workspace / "fleet.csv", csv);

    std::string bad = csv;
    bad.replace(bad.find("Line-15;19200;even;1500"), 23, "Line-15;19200;even;70000");
    bad += "Line-3;;;\r\n";
    writeFile(workspace / "bad.csv", bad);
    const Result refused = cli("apply " + workspace / "bad.csv");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tarvel-cli: " + workspace / "bad.csv" +
                               ": line 16: Error!! TimeOut RTU must be between 0 and 60000 ms. \n"
                               "tarvel-cli: " +
                               workspace / "bad.csv" +
                               ": line 23: the project Line-3 is given twice\n");
    EXPECT_FALSE(fs::exists(workspace / "PROJECTS/Line-1"));

    const Result applied = cli("apply " + workspace / "fleet.csv" + " --json");
    ASSERT_EQ(applied.status, 0) << applied.err;
    const auto summary = nlohmann::json::parse(applied.out);
    EXPECT_EQ(summary["version"], 1);
    EXPECT_EQ(summary["applied"].size(), 21u);
    EXPECT_EQ(summary["notApplied"].size(), 0u);
    const auto line7 = nlohmann::json::parse(cli("show Line-7 --json").out);
    EXPECT_EQ(line7["rtu"]["baud"], 19200);
    EXPECT_EQ(line7["ascii"]["parity"], "EVEN");
    EXPECT_EQ(line7["rtu"]["timeout"], 700);
    EXPECT_EQ(readFile(workspace / "PROJECTS/Line-7/var.xml"), golden("empty_var.xml"));
    EXPECT_EQ(summary["applied"][6]["image"],
              nlohmann::json::parse(cli("image Line-7 --json").out)["bytes"]);
    EXPECT_EQ(nlohmann::json::parse(cli("show Existing --json").out)["ascii"]["parity"], "ODD");
    EXPECT_EQ(readFile(workspace / "PROJECTS/Existing/bin/bank.bin").size(), 19u);

    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {"name,rtu.speed\nA,1\n", "line 1: unknown column rtu.speed"},
             {"name,mode,mode\nA,1,1\n", "line 1: the column mode is given twice"},
             {"name,mode\nA,1\nB\xFF,1\n", "line 3: the text is not UTF-8"}}) {
        writeFile(workspace / "odd.csv", text);
        EXPECT_EQ(cli("apply " + workspace / "odd.csv").err,
                  "tarvel-cli: " + workspace / "odd.csv" + ": " + message + "\n");
    }
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
        writeFile(workspace / "MASTER/sim40917.sim", "");
    }

    Result run(std::vector<std::string> arguments, std::uint32_t timeLimitMs = 150000) {
        arguments.insert(arguments.begin(), {"--workspace", workspace.path()});
        return runCli(arguments,
                      CliEnvironment{"", serial, false, WaitSettings{.timeLimitMs = timeLimitMs}});
    }
};

TEST_F(UpdateCommandTest, RunsTheUpdaterWithTheWizardsArgumentsAndReportsItsEnd) {
    setEnvironment("TARVEL_UPDATER_EXIT_CODE", "0");
    const Result done = run({"update", "Plant 1", "--port", "COM3", "--no-read-firmware"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.out, "Updater ended with exit code 0\n");
#ifdef _WIN32
    // The C runtime reads the last quoted path's closing backslash-quote as a quote.
    EXPECT_EQ(readFile(argsFile).rfind("\\\\.\\COM3\nFW\nNO\nPW\nPR\n", 0), 0u);
#else
    EXPECT_EQ(readFile(argsFile), "/dev/ttyS2\nFW\nNO\nPW\nPR\n" +
                                      workspace / "MASTER/sim40917.sim" + "\n" +
                                      workspace / "PROJECTS/Plant 1/bin/\n--end--\n");
#endif
    EXPECT_EQ(readFile(workspace / "PROJECTS/Plant 1/bin/bank.bin").size(), 19u);
    EXPECT_EQ(serial->openHandles(), 0);  // tested and released before the run

    setEnvironment("TARVEL_UPDATER_EXIT_CODE", "3");
    const Result failed = run({"update", "Plant 1", "--port", "COM3"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "tarvel-cli: Plant 1: Updater ended with exit code 3\n");

    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "600");
    const Result late = run({"update", "Plant 1", "--port", "COM3"}, 100);
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err, "tarvel-cli: Plant 1: Updater still running after 0 s\n");
    clearEnvironment("TARVEL_UPDATER_SLEEP_MS");
    clearEnvironment("TARVEL_UPDATER_EXIT_CODE");
}

#ifndef _WIN32
// With --json, standard output holds the JSON alone: the updater's lines
// go to standard error. The process's own descriptors are caught, as the
// updater writes to them.
TEST_F(UpdateCommandTest, WithJsonTheUpdatersLinesGoToStandardError) {
    setEnvironment("TARVEL_UPDATER_EXIT_CODE", "0");
    setEnvironment("TARVEL_UPDATER_SAY", "Device answered");
    const std::string out = workspace / "out.txt", err = workspace / "err.txt";
    std::fflush(nullptr);
    const int savedOut = dup(STDOUT_FILENO), savedErr = dup(STDERR_FILENO);
    const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(outFile, STDOUT_FILENO);
    dup2(errFile, STDERR_FILENO);
    const Result done = run({"--json", "update", "Plant 1", "--port", "COM3"});
    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    for (const int fd : {savedOut, savedErr, outFile, errFile}) close(fd);
    clearEnvironment("TARVEL_UPDATER_SAY");
    clearEnvironment("TARVEL_UPDATER_EXIT_CODE");
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(nlohmann::json::parse(done.out)["exitCode"], 0);
    EXPECT_EQ(readFile(out), "");
    EXPECT_EQ(readFile(err), "Device answered\n");
}
#endif

TEST_F(UpdateCommandTest, APortThatCannotBeOpenedRunsNoUpdater) {
    for (const char* port : {"COM4", "COM3", "COM255"}) {
        if (std::string(port) == "COM3")
            serial->failCall("escapeCommFunction", 1);  // DTR refused, as on a busy line
        const Result result = run({"update", "Plant 1", std::string("--port=") + port});
        EXPECT_EQ(result.status, 1) << port;
        // The fixed text first, then why, with the device.
        EXPECT_EQ(result.err.rfind("tarvel-cli: " + std::string(port) +
                                       ": Error!! Com Port cannot be open. " +
                                       platform::devicePathForName(port) + ": ",
                                   0),
                  0u)
            << result.err;
    }
    // No document, no image worth writing into a device.
    fs::remove(workspace / "PROJECTS/Plant 1/pargen.xml");
    const Result empty = run({"update", "Plant 1", "--port", "COM3"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err,
              "tarvel-cli: Plant 1: has no pargen.xml, so there is no project to write\n");
    EXPECT_FALSE(fs::exists(argsFile));
    EXPECT_EQ(serial->openHandles(), 0);
    // As the wizard names it when it shows.
    fs::remove(workspace / "MASTER/sim40917.sim");
    EXPECT_EQ(run({"update", "Plant 1", "--port", "COM3", "--no-project"})
                  .err.rfind("tarvel-cli: Plant 1: The device master file " +
                                 workspace / "MASTER/sim40917.sim" + " is missing.\n",
                             0),
              0u);
}

#ifndef _WIN32
// tarvel-cli as a whole process, through a POSIX shell: what only separate
// processes show.
class WholeProcessTest : public testing::Test {
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

// What could not be printed is a failure.
TEST_F(WholeProcessTest, AFullStandardOutputIsAFailure) {
    ASSERT_EQ(cli("new Demo").status, 0);
    const std::string full = std::string(TARVEL_CLI) + " --workspace '" + workspace.path() +
                             "' show Demo >/dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 1);
}

// Two scripts setting different keys of one project at once: both changes stay.
TEST_F(WholeProcessTest, ConcurrentWritersTakeTurns) {
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
        EXPECT_EQ(shown["rtu"]["baud"], std::stoi(baud)) << round;
        EXPECT_EQ(shown["ascii"]["parity"], parity) << round;
    }
    EXPECT_TRUE(fs::exists(project(".tarvel-lock")));
    EXPECT_FALSE(fs::exists(project("bin/.tarvel-lock")));
}

// Two users in one group share a workspace (umask 002). The second may write
// the documents the first made, so the lock must not shut them out, even one
// that an older version made 0644.
TEST_F(WholeProcessTest, ASecondUserOfASharedWorkspaceWritesToo) {
    if (geteuid() != 0)
        GTEST_SKIP() << "two users need root to start them";
    ASSERT_EQ(chown(workspace.path().c_str(), 12345, 12345), 0);
    fs::permissions(workspace.path(), fs::perms(0775));
    const auto as = [&](const std::string& user, const std::string& arguments) {
        const std::string command =
            "setpriv --reuid=" + user + " --regid=12345 --clear-groups sh -c \"umask 002; '" +
            TARVEL_CLI + "' --workspace '" + workspace.path() + "' " + arguments + "\"";
        return std::system(command.c_str());
    };
    ASSERT_EQ(as("12345", "new SH"), 0);
    ASSERT_EQ(as("12345", "set SH mode=1"), 0);
    EXPECT_EQ(fs::status((workspace / "PROJECTS/SH/.tarvel-lock")).permissions(), fs::perms(0664));
    EXPECT_EQ(as("23456", "set SH rtu.parity=ODD"), 0);
    fs::permissions((workspace / "PROJECTS/SH/.tarvel-lock"), fs::perms(0644));
    EXPECT_EQ(as("23456", "set SH ascii.parity=EVEN"), 0);
    const auto shown = nlohmann::json::parse(cli("show SH --json").out);
    EXPECT_EQ(shown["mode"], 1);
    EXPECT_EQ(shown["rtu"]["parity"], "ODD");
    EXPECT_EQ(shown["ascii"]["parity"], "EVEN");
}

#endif  // _WIN32

}  // namespace
