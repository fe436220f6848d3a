#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "cli/CliRun.h"
#include "common/Sha256.h"
#include "common/UtcTime.h"
#include "platform/FileSystem.h"
#include "platform/PortClaim.h"
#include "platform/ProcessIdentity.h"
#include "platform/ProcessLauncher.h"
#include "platform/SerialNames.h"
#include "station/AuditLog.h"
#include "station/Signing.h"
#include "support/Environment.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::vector<Json> logRecords(const std::string& path) {
    std::vector<Json> records;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) records.push_back(Json::parse(line));
    return records;
}

// "event:project:outcome" of each record, for one comparison per run.
std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

std::vector<std::string> events(const std::vector<Json>& records) {
    std::vector<std::string> list;
    for (const Json& r : records) {
        std::string entry = r["event"].get<std::string>();
        entry.append(":").append(r["project"].get<std::string>());
        if (r.contains("outcome"))
            entry.append(":").append(r["outcome"].get<std::string>());
        list.push_back(entry);
    }
    return list;
}

// A bench of three converters, in the process itself, on the fake serial
// layer and the stand-in updater.
class StationTest : public testing::Test {
  protected:
    TempFolder workspace;
    std::shared_ptr<FakeSerialApi> serial = std::make_shared<FakeSerialApi>();
    std::string queue = workspace / "queue.csv";
    std::string log = workspace / "queue.audit.jsonl";
    std::string images = workspace / "images.bin";
    std::string argsFile = workspace / "args.txt";
    std::uint32_t timeLimitMs = 150000;
    // The operator's Ctrl-C, as the station counts it.
    std::function<int()> interruptions;
    // Whether a typed line waits at the terminal.
    std::function<bool()> typedLineWaiting;
    // Whether standard error is a terminal that takes the bench's table.
    bool table = false;
    // Where a bench looks its adapters up.
    std::string systemRoot = workspace / "sys";
    std::string deviceRoot = workspace / "dev";

    void SetUp() override {
        fs::copy_file(FAKE_UPDATER, workspace / "Ser_40917_Update.exe");
        fs::create_directory(workspace / "MASTER");
        writeFile(workspace / "MASTER/sim40917.sim", "");
        writeFile(queue, "name,rtu.baud\nLine-1,9600\nLine-2,19200\nLine-3,38400\n");
        setEnvironment("TARVEL_ARGS_FILE", argsFile);
        setEnvironment("TARVEL_IMAGES_FILE", images);
        setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0");
        serial->devices = {"COM3"};
    }
    void TearDown() override {
        for (const char* name :
             {"TARVEL_ARGS_FILE", "TARVEL_IMAGES_FILE", "TARVEL_UPDATER_SAY",
              "TARVEL_UPDATER_EXIT_CODES", "TARVEL_UPDATER_SLEEP_MS", "TARVEL_UPDATER_GATE"})
            clearEnvironment(name);
    }

    CliResult run(std::vector<std::string> arguments, const std::string& answers = "",
                  std::function<void(const std::string&)> errWatcher = {}) {
        arguments.insert(arguments.begin(), {"--workspace", workspace.path()});
        std::istringstream input(answers);
        CliEnvironment environment{"", serial, false, WaitSettings{.timeLimitMs = timeLimitMs}};
        environment.input = &input;
        // Claims of this test's own, apart from any other run on the machine.
        environment.claimFolder = workspace.path();
        environment.interruptions = interruptions;
        environment.typedLineWaiting = typedLineWaiting;
        environment.systemRoot = systemRoot;
        environment.deviceRoot = deviceRoot;
        environment.tableOnTerminal = table;
        environment.terminalColumns = [] { return std::size_t{100}; };
        return runCli(arguments, environment, std::move(errWatcher));
    }
    CliResult station(const std::string& answers = "", std::vector<std::string> more = {},
                      std::function<void(const std::string&)> errWatcher = {}) {
        std::vector<std::string> arguments = {"station", queue, "--port", "COM3"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return run(arguments, answers, std::move(errWatcher));
    }
    // Calls act once, when standard error first holds text.
    static std::function<void(const std::string&)> onceSaid(const std::string& text,
                                                            std::function<void()> act) {
        return [text, act, done = false](const std::string& err) mutable {
            if (!done && err.find(text) != std::string::npos) {
                done = true;
                act();
            }
        };
    }
    int updaterRuns() {
        const std::string args = fs::exists(argsFile) ? readFile(argsFile) : "";
        int runs = 0;
        for (std::size_t at = 0; (at = args.find("--end--", at)) != std::string::npos; ++at) ++runs;
        return runs;
    }
    // Returns once the stand-in updater has started: it records its
    // arguments first. The bound only keeps a broken build from hanging.
    void waitForTheUpdater() {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (updaterRuns() == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Opens the gate of the updater the station left running and returns once
    // it has ended: a folder cannot be removed under a running program on
    // Windows, and a stand-in whose gate went with the rest would wait for
    // ever. The bound only keeps a broken build from hanging.
    void letTheLeftUpdaterEnd(const std::string& gate) {
        unsigned long pid = 0;
        for (const Json& record : logRecords(log))
            if (record["event"] == "updater")
                pid = record["updaterPid"].get<unsigned long>();
        ASSERT_NE(pid, 0u);
        writeFile(gate, "");
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (platform::liveness(platform::processOnThisHost(pid)) != platform::Liveness::Ended &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // A start record of a station that is not this test's.
    // The log's only line: a start of another station, on this host unless
    // another is named.
    void writeStart(const std::string& project, unsigned long pid, const Json& pidStart,
                    std::string host = platform::thisHost().host) {
        Json start = {{"version", 1},
                      {"event", "start"},
                      {"project", project},
                      {"port", "COM3"},
                      {"device", "COM3"},
                      {"host", host},
                      {"boot", platform::thisHost().boot},
                      {"pid", pid},
                      {"pidStart", pidStart},
                      {"started", isoUtc(utcNowMs())},
                      {"prev", nullptr}};
        writeFile(log, start.dump() + "\n");
    }
};

TEST_F(StationTest, ProvisionsTheQueueRecordsEachAttemptAndResumesWithThePendingRow) {
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0 2 0");
    setEnvironment("TARVEL_UPDATER_SAY", "Device not responding");
    const CliResult first = station("", {"--yes"});
    EXPECT_EQ(first.status, 1) << first.err;  // Line-2 is pending
    EXPECT_EQ(first.out, "ok       Line-1\npending  Line-2\nok       Line-3\n");
    EXPECT_NE(first.err.find("3 rows: 3 created, 0 changed, 0 unchanged\n"), std::string::npos);
    EXPECT_NE(first.err.find("Line-2 (2 of 3)\n1 - Turn OFF the Device\n"), std::string::npos);
    EXPECT_NE(first.err.find("Device not responding\nUpdater ended with exit code 2\nFAIL\n"),
              std::string::npos);
    const std::vector<Json> records = logRecords(log);
    EXPECT_EQ(events(records),
              (std::vector<std::string>{"start:Line-1", "updater:Line-1", "result:Line-1:ok",
                                        "start:Line-2", "updater:Line-2", "result:Line-2:failed",
                                        "start:Line-3", "updater:Line-3", "result:Line-3:ok"}));
    EXPECT_EQ(records[5]["exitCode"], 2);
    std::string output = records[5]["output"];
    std::erase(output, '\r');  // a Windows updater ends its lines with CRLF
    EXPECT_EQ(output, "Device not responding\n");
    EXPECT_EQ(records[2]["row"], 2);
    EXPECT_EQ(records[2]["options"], Json({"FW", "FR", "PW", "PR"}));
#ifndef _WIN32  // the C runtime there reads the bin folder's closing \" as a quote
    // Each updater was handed its own project's image, byte for byte.
    std::string written;
    for (const char* name : {"Line-1", "Line-2", "Line-3"})
        written += readFile(workspace / ("PROJECTS/" + std::string(name) + "/bin/bank.bin"));
    EXPECT_EQ(readFile(images), written);
#endif
    const CliResult audit = run({"audit", log});
    EXPECT_EQ(audit.status, 0) << audit.err;
    EXPECT_NE(audit.out.find("Line-2  failed  "), std::string::npos) << audit.out;

    // Fixed: only the pending row is written again, and no project's files
    // are touched on the way.
    const std::string image = workspace / "PROJECTS/Line-1/bin/bank.bin";
    makeOlder(image, 60);
    const auto imageTime = fs::last_write_time(image);
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0 2 0 0");
    const CliResult second = station("", {"--yes"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("3 rows: 0 created, 0 changed, 3 unchanged\n"), std::string::npos)
        << second.err;
    EXPECT_EQ(fs::last_write_time(image), imageTime);
    EXPECT_EQ(updaterRuns(), 4);
    EXPECT_EQ(events(logRecords(log)).back(), "result:Line-2:ok");
}

// What an operator answers at each step, and what the log then holds.
TEST_F(StationTest, AnswersSkipRetryAndQuit) {
    const struct {
        const char* answers;
        const char* exitCodes;
        std::vector<std::string> options;
        std::vector<std::string> events;  // the first ones
    } cases[] = {
        // Line-1 skipped before its claim; Line-2 fails, retried from step 1,
        // passes; then q.
        {"s\n\n\n\n\n\nq\n",
         "2 0",
         {},
         {"start:Line-2", "updater:Line-2", "result:Line-2:failed", "start:Line-2",
          "updater:Line-2", "result:Line-2:ok"}},
        // Skipped with the device on; the end of input quits.
        {"\ns\n", "0", {}, {"start:Line-1", "result:Line-1:skipped"}},
        // Unattended: one retry, then the row is let go and the next taken.
        {"",
         "2 2 0",
         {"--yes", "--retries", "1"},
         {"start:Line-1", "updater:Line-1", "result:Line-1:failed", "start:Line-1",
          "updater:Line-1", "result:Line-1:failed", "start:Line-2"}},
    };
    for (const auto& c : cases) {
        fs::remove(log);
        fs::remove(argsFile);
        setEnvironment("TARVEL_UPDATER_EXIT_CODES", c.exitCodes);
        const CliResult result = station(c.answers, c.options);
        EXPECT_EQ(result.status, 1) << c.answers;
        auto got = events(logRecords(log));
        got.resize(std::min(got.size(), c.events.size()));
        EXPECT_EQ(got, c.events) << c.answers << result.err;
    }
}

// The project stays locked while the updater reads its image: a set waits
// for the updater's end, and the record names the bytes the updater read.
TEST_F(StationTest, ASetWaitsUntilTheUpdaterHasReadTheImage) {
    writeFile(queue, "name,rtu.baud\nLine-1,9600\n");
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    CliResult provisioned;
    std::thread station([&] { provisioned = this->station("", {"--yes"}); });
    waitForTheUpdater();
    int pauses = 0;
    CliEnvironment environment{"", serial, false, {}};
    // Each pause is a wait for the lock: the first one lets the updater end.
    environment.lockPause = [&](unsigned ms) {
        if (pauses++ == 0)
            writeFile(gate, "");
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    const CliResult set =
        runCli({"--workspace", workspace.path(), "set", "Line-1", "rtu.baud=38400"}, environment);
    station.join();
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_GT(pauses, 0);
    EXPECT_EQ(provisioned.status, 0) << provisioned.err;
    const Json result = logRecords(log).back();
    EXPECT_EQ(result["outcome"], "ok");
#ifdef _WIN32
    // The updater's last argument ends in \" there, which its C runtime takes
    // for a quote: the stand-in cannot find the image to copy.
    EXPECT_EQ(result["imageSha256"],
              sha256Hex(readFile(workspace / "PROJECTS/Line-1/bin/bank.bin")));
#else
    EXPECT_EQ(result["imageSha256"], sha256Hex(readFile(images)));
#endif
}

// A log deleted under a running station: it stops after that row, says so,
// and writes no further converter into a log that nobody will read.
TEST_F(StationTest, ALogDeletedWhileTheUpdaterRunsStopsTheStation) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine shows a file deleted while open as still there; not run on Windows";
#endif
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    CliResult provisioned;
    std::thread station([&] { provisioned = this->station("", {"--yes"}); });
    waitForTheUpdater();
    fs::remove(log);
    writeFile(gate, "");
    station.join();
    EXPECT_EQ(provisioned.status, 1);
    EXPECT_NE(provisioned.err.find(log + ": the log was deleted, replaced or cut"),
              std::string::npos)
        << provisioned.err;
    EXPECT_EQ(updaterRuns(), 1);
}

TEST_F(StationTest, APortErrorRunsNoUpdaterAndATimeoutStopsTheStation) {
    // The fixed text, then why in words, in the console and the record.
    const std::string device = platform::devicePathForName("COM3");
    const struct {
        const char* call;
        int error;
        std::string reason;
    } refusals[] = {
        {"escapeCommFunction", 2,  // unplugged after the checks
         device + ": no such device; ports here: none"},
        {"escapeCommFunction", 31,
         device + ": not a working serial port (it refused its settings or DTR)"},
    };
    for (const auto& refusal : refusals) {
        fs::remove(log);
        serial->failCall(refusal.call, refusal.error);
        const CliResult refused = station("\nq\n");
        serial->succeedCall(refusal.call);
        EXPECT_NE(refused.err.find("Error!! Com Port cannot be open.\n" + refusal.reason + "\n"),
                  std::string::npos)
            << refused.err;
        // The failure stays; the operator's q follows it.
        const std::vector<Json> records = logRecords(log);
        EXPECT_EQ(events(records),
                  (std::vector<std::string>{"start:Line-1", "result:Line-1:port-error",
                                            "result:Line-1:quit"}));
        EXPECT_EQ(records[1]["output"], refusal.reason);
    }
    EXPECT_EQ(updaterRuns(), 0);

    fs::remove(log);
    timeLimitMs = 100;
    setEnvironment("TARVEL_UPDATER_SLEEP_MS", "1500");
    const CliResult late = station("", {"--yes"});
    EXPECT_EQ(late.status, 1);
    // Nothing more while the port is in use: Line-2 and Line-3 are not begun.
    EXPECT_EQ(events(logRecords(log)), (std::vector<std::string>{"start:Line-1", "updater:Line-1",
                                                                 "result:Line-1:timeout"}));
}

TEST_F(StationTest, AnAttemptOfADeadStationIsInterruptedOneOfALiveStationIsLeftToIt) {
    // Process 0 runs no station; process 1 never ends, but claims no port:
    // their attempts were interrupted.
    for (const unsigned long pid : {0UL, 1UL}) {
        fs::remove(log);
        writeStart("Line-1", pid, pid == 0 ? Json(0) : Json());
        const CliResult resumed = station("", {"--yes"});
        EXPECT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_EQ(events(logRecords(log))[1], "result:Line-1:interrupted") << pid;
    }
    EXPECT_EQ(updaterRuns(), 6);

    // Another host's station, started just now, keeps its row.
    fs::remove(log);
    writeStart("Line-2", 1, 1, "another-bench");
    const CliResult shared = station("", {"--yes"});
    EXPECT_EQ(shared.status, 1);
    EXPECT_EQ(events(logRecords(log)).size(), 1u + 3 + 3);
    for (const Json& record : logRecords(log))
        EXPECT_TRUE(record["project"] != "Line-2" || record["event"] == "start");

    // A station of this host, which claims the port, is awaited: it ends
    // without a result once this one waits for it, so the row comes free and
    // is provisioned. Its row is the only one: any other would wait for the
    // port it holds (on Windows, where the port is the device too).
    fs::remove(log);
    writeFile(queue, "name\nLine-3\n");
    auto claim = platform::claimPort(workspace.path(), "COM3", "the other station").claim;
    ASSERT_TRUE(claim);
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    std::string unreported;
    const auto other = platform::launchProgram(FAKE_UPDATER, {}, true, unreported);
    clearEnvironment("TARVEL_UPDATER_GATE");
    ASSERT_TRUE(other) << unreported;
    writeStart("Line-3", other->processId(),
               platform::processOnThisHost(other->processId()).start.value());
    const CliResult awaited = station("", {"--yes"}, onceSaid("Waiting for Line-3", [&] {
                                          claim.reset();
                                          writeFile(gate, "");
                                      }));
    EXPECT_EQ(awaited.status, 0) << awaited.err;
    EXPECT_NE(awaited.err.find("Waiting for Line-3, which another station provisions"),
              std::string::npos);
    EXPECT_EQ(events(logRecords(log)).back(), "result:Line-3:ok");
}

// Ctrl-C while the updater writes: once, the station lets it end, records
// its exit code and quits; twice, it quits at once, the updater left running
// and the row recorded interrupted.
TEST_F(StationTest, CtrlCNeverCutsTheUpdaterOff) {
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    for (const int pressed : {1, 2}) {
        fs::remove(log);
        fs::remove(gate);
        fs::remove(argsFile);
        // Pressed once the updater has started; the first press lets it end.
        interruptions = [&] {
            if (updaterRuns() == 0)
                return 0;
            if (pressed == 1)
                writeFile(gate, "");
            return pressed;
        };
        const CliResult result = station("", {"--yes"});
        EXPECT_EQ(result.status, 1) << result.err;
        const std::vector<std::string> expected = {
            "start:Line-1", "updater:Line-1",
            pressed == 1 ? "result:Line-1:ok" : "result:Line-1:interrupted"};
        EXPECT_EQ(events(logRecords(log)), expected) << result.err;
        if (pressed == 1) {
            EXPECT_NE(result.err.find("The updater is writing Line-1; it is not stopped."),
                      std::string::npos);
            EXPECT_EQ(logRecords(log).back()["exitCode"], 0);
        }
        if (pressed == 2)
            letTheLeftUpdaterEnd(gate);
    }
    interruptions = {};
}

TEST_F(StationTest, ATornLineIsSetAsideAndTheChainGoesOn) {
    ASSERT_EQ(station("", {"--yes"}).status, 0);
    std::string text = readFile(log);
    writeFile(log, text + text.substr(0, 40));  // a crash mid-write
    writeFile(queue, "name\nLine-4\n");
    const CliResult more = station("", {"--yes"});
    EXPECT_EQ(more.status, 0) << more.err;
    EXPECT_NE(more.err.find("line 10 is torn"), std::string::npos) << more.err;
    EXPECT_EQ(run({"audit", log}).status, 0);
    EXPECT_EQ(events(logRecords(log)).size(), 12u);
}

// A row done with another image than the queue's now is outdated: pending
// for the exit status and the summary, written again only when asked.
TEST_F(StationTest, ARowDoneWithAnotherImageIsOutdatedAndRedoneOnlyWhenAsked) {
    writeFile(queue, "name,rtu.baud\nLine-1,9600\nLine-2,9600\n");
    ASSERT_EQ(station("", {"--yes"}).status, 0);
    writeFile(queue, "name,rtu.baud\nLine-1,19200\nLine-2,9600\n");
    const CliResult changed = station("", {"--yes"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.err.find("with another image: it is outdated; --redo-outdated provisions "
                               "it again\n"),
              std::string::npos);
    EXPECT_NE(changed.err.find("2 rows, 0 pending, 1 done, 1 outdated\n"), std::string::npos)
        << changed.err;
    EXPECT_NE(changed.out.find("outdated Line-1\nok       Line-2\n"), std::string::npos);
    EXPECT_NE(changed.err.find("1 of 2 provisioned; 1 pending (1 outdated)"), std::string::npos);
    EXPECT_EQ(updaterRuns(), 2);
    EXPECT_EQ(station("", {"--yes", "--redo-outdated"}).status, 0);
    EXPECT_EQ(updaterRuns(), 3);
    EXPECT_EQ(station("", {"--yes", "--redo", "Line-2"}).status, 0);
    EXPECT_EQ(updaterRuns(), 4);
}

// Before the first prompt: each thing every converter needs, missing, is
// said on a line of its own, and the log is not even made.
TEST_F(StationTest, WhatEveryConverterNeedsIsCheckedBeforeTheFirstPrompt) {
    fs::remove(workspace / "Ser_40917_Update.exe");
    fs::remove(workspace / "MASTER/sim40917.sim");
    serial->devices = {"COM1", "\\\\.\\COM1"};
    const CliResult refused = run({"station", queue, "--port", "COM9", "--yes"});
    EXPECT_EQ(refused.status, 1);
    for (const std::string& line : std::vector<std::string>{
             "Ser_40917_Update.exe is missing or cannot be run.\n", "sim40917.sim is missing.\n",
             "COM9 (" + platform::devicePathForName("COM9") +
                 "): no such port; ports here: COM1 (" + platform::devicePathForName("COM1") + ")",
             "The station did not start: nothing was written.\n"})
        EXPECT_NE(refused.err.find(line), std::string::npos) << line << "\n" << refused.err;
    EXPECT_EQ(refused.err.find("1 - Turn OFF"), std::string::npos);
    EXPECT_FALSE(fs::exists(log));
}

// Each unit's serial number, as a bar-code reader types it, goes into the
// record and the customer's sheet; one unit is never written as two projects.
TEST_F(StationTest, TheUnitsSerialIsRecordedAndNeverGivenTwice) {
    // The queue names Line-1's unit; apply keeps the column out of the documents.
    writeFile(queue, "name,unit\nLine-1,SN-0001\nLine-2,\n");
    EXPECT_EQ(station("", {"--unit", "ask", "--yes"}).status, 2);
    // Line-1: Enter, Enter, an empty serial (asked again), SN-0009 (not the
    // queue's), SN-0001; Line-2: Enter, Enter, SN-0001 again (refused), SN-0002.
    const CliResult result =
        station("\n\n\nSN-0009\nSN-0001\n\n\nSN-0001\nSN-0002\n", {"--unit", "ask"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("Line-1 (1 of 2), unit SN-0001\n"), std::string::npos);
    EXPECT_NE(result.err.find("this is the unit SN-0009, not SN-0001"), std::string::npos);
    EXPECT_NE(result.err.find("the unit SN-0001 was written as Line-1"), std::string::npos);
    std::vector<std::string> units;
    for (const Json& record : logRecords(log)) {
        if (record["event"] == "result")
            units.push_back(record["unit"]);
    }
    EXPECT_EQ(units, (std::vector<std::string>{"SN-0001", "SN-0002"}));
    const CliResult sheet = run({"audit", log, "--csv"});
    EXPECT_NE(sheet.out.find(",exitCode,unit,attempts,failures,mode,rtu.line,rtu.baud,"),
              std::string::npos);
    // Beside the image, what it holds.
    EXPECT_NE(sheet.out.find(",SN-0002,1,0,Modbus RTU Slave <--> Modbus ASCII Master,RS485,9600,"),
              std::string::npos)
        << sheet.out;
}

// What the record keeps of each row: every attempt and failure, the log's
// own types in JSON, and names a spreadsheet would take for formulas as text.
TEST_F(StationTest, AuditCountsAttemptsKeepsTypesAndDefusesFormulas) {
    writeFile(queue, "name\n=1+2\n@SUM\n");
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "2 0 0");
    ASSERT_EQ(station("\n\n\n\n\n\n\n\n").status, 0);  // =1+2 fails, is retried; @SUM
    const CliResult sheet = run({"audit", log, "--csv"});
    EXPECT_NE(sheet.out.find("\r\n'=1+2,ok,"), std::string::npos) << sheet.out;
    EXPECT_NE(sheet.out.find(",,2,1,Modbus RTU"), std::string::npos) << sheet.out;
    EXPECT_NE(sheet.out.find("\r\n'@SUM,ok,"), std::string::npos) << sheet.out;
    const Json json = Json::parse(run({"--json", "audit", log}).out);
    EXPECT_EQ(json["projects"][0]["exitCode"], 0);
    EXPECT_EQ(json["projects"][0]["adapter"], nullptr);
    EXPECT_EQ(json["projects"][0]["failures"], 1);
    const CliResult history = run({"audit", log, "--history"});
    EXPECT_NE(history.out.find("=1+2  failed"), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("=1+2  ok"), std::string::npos) << history.out;

    // The queue's rows not yet in the log are listed pending; the tools that
    // wrote the converters are named once, while they stay the same.
    writeFile(queue, "name\n=1+2\nLater\n@SUM\n");
    const CliResult listed = run({"audit", log, "--queue", queue});
    EXPECT_NE(listed.out.find("\nLater  pending"), std::string::npos) << listed.out;
    EXPECT_LT(listed.out.find("=1+2  ok"), listed.out.find("Later  pending"));
    const std::string updater = sha256Hex(readFile(workspace / "Ser_40917_Update.exe"));
    EXPECT_EQ(countOf(listed.out,
                      ": updater SHA-256 " + updater + ", master file SHA-256 " + sha256Hex("")),
              1u)
        << listed.out;
}

// Two stations on two queues and one port: the second waits, says who has
// the port, and records nothing of it until the first one's updater ended.
TEST_F(StationTest, OneDeviceIsWrittenByOneStationAtATime) {
    writeFile(queue, "name\nLine-1\n");
    const std::string otherQueue = workspace / "other.csv";
    writeFile(otherQueue, "name\nLine-9\n");
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    CliResult first;
    std::thread station([&] { first = this->station("", {"--yes"}); });
    waitForTheUpdater();
    const CliResult second =
        run({"station", otherQueue, "--port", "COM3", "--yes"}, "",
            onceSaid("is in use by the station of", [&] { writeFile(gate, ""); }));
    station.join();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("COM3 (" + platform::devicePathForName("COM3") +
                              ") is in use by the station of "),
              std::string::npos)
        << second.err;
    EXPECT_NE(second.err.find(") for Line-1"), std::string::npos);
    const Json firstEnded = logRecords(log).back();
    const Json secondStarted = logRecords(workspace / "other.audit.jsonl").front();
    EXPECT_LE(firstEnded["ended"].get<std::string>(), secondStarted["started"].get<std::string>());
    EXPECT_EQ(updaterRuns(), 2);
}

// One changed byte, a cut line, a line that is no record: each is named.
TEST_F(StationTest, AuditNamesTheFirstLineThatBreaksTheChain) {
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0");
    ASSERT_EQ(station("", {"--yes"}).status, 0);
    const std::string text = readFile(log);
    const std::size_t line4 = [&] {
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) at = text.find('\n', at) + 1;
        return at;
    }();
    const std::size_t line5 = text.find('\n', line4) + 1;
    std::string changed = text;
    changed[text.find("Line-2", line4) + 5] = '7';
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {changed, ": line 4 was changed or removed: line 5 does not follow it"},
        {text.substr(0, line4) + text.substr(line5),
         ": line 3 was changed or removed: line 4 does not follow it"},
        {text.substr(0, line4) + "{}\n" + text.substr(line4), ": line 4: not a record"},
        {"[1,2\n", ": line 1: not a JSON line"},
    };
    for (const auto& c : cases) {
        writeFile(log, c.text);
        const CliResult audit = run({"audit", log});
        EXPECT_EQ(audit.status, 1);
        EXPECT_EQ(audit.err.rfind("tarvel-cli: " + log + c.message, 0), 0u) << audit.err;
    }
}

// A signed log with its anchor proves what the chain alone cannot: each way
// an auditor, or a dishonest operator, may change it is caught and named.
TEST_F(StationTest, ASignedAndAnchoredLogShowsEveryChange) {
    const std::string key = workspace / "bench.key";
    const std::string anchor = workspace / "anchor";
    fs::create_directory(anchor);
    ASSERT_EQ(run({"keygen", key}).status, 0);
    const CliResult signedRun = station("", {"--yes", "--key", key, "--anchor", anchor});
    ASSERT_EQ(signedRun.status, 0) << signedRun.err;
    const auto audit = [&](const std::string& file, bool anchored = true) {
        std::vector<std::string> arguments = {"audit", file, "--key", key + ".pub"};
        if (anchored)
            arguments.insert(arguments.end(), {"--anchor", anchor});
        return run(arguments);
    };
    ASSERT_EQ(audit(log).status, 0) << audit(log).err;
    const std::string whole = readFile(log);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = whole.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(whole.substr(at, end - at + 1));
    ASSERT_GT(lines.size(), 8u);
    const auto joined = [](std::vector<std::string> parts) {
        std::string text;
        for (const std::string& part : parts) text += part;
        return text;
    };
    // The same records in a fresh chain, signed by signer or by none.
    const auto rewritten = [&](const std::optional<SecretKey>& signer) {
        const std::string copy = workspace / "rewritten.jsonl";
        fs::remove(copy);
        AuditLog fresh(copy, [](const std::string&) {});
        fresh.withLock([&] {
            for (const std::string& line : lines) {
                Json record = Json::parse(line);
                if (record["event"] == "checkpoint") {
                    if (signer)
                        fresh.appendCheckpoint(*signer);
                    continue;
                }
                record.erase("prev");
                fresh.append(record);
            }
        });
        return readFile(copy);
    };
    const std::string otherKey = workspace / "other.key";
    ASSERT_EQ(run({"keygen", otherKey}).status, 0);
    // A dishonest rewrite: the first checkpoint's signature changed and the
    // chain redone after it. The next checkpoint's head no longer holds
    // either, but the first fault is the signature's.
    std::vector<std::string> forged = lines;
    const auto signedAt = std::find_if(forged.begin(), forged.end(), [](const std::string& line) {
        return line.find("\"event\":\"checkpoint\"") != std::string::npos;
    });
    ASSERT_NE(signedAt, forged.end());
    const std::size_t forgedLine = static_cast<std::size_t>(signedAt - forged.begin()) + 1;
    for (auto line = signedAt; line != forged.end(); ++line) {
        Json record = Json::parse(*line);
        if (line == signedAt)
            record["signature"] = std::string(128, '0');
        record["prev"] = sha256Hex(std::string_view(*(line - 1)).substr(0, (line - 1)->size() - 1));
        *line = record.dump() + "\n";
    }
    std::string changed = lines[2];
    changed.replace(changed.find("COM3"), 4, "COM4");
    const struct {
        const char* what;
        std::string log;
        bool anchored;
        std::string says;
    } cases[] = {
        {"a byte changed",
         joined({lines[0], lines[1], changed, lines[3]}) + joined({lines.begin() + 4, lines.end()}),
         true, "line 3 was changed or removed: line 4 does not follow it"},
        {"a line deleted",
         joined({lines[0], lines[1], lines[3]}) + joined({lines.begin() + 4, lines.end()}), true,
         "does not follow it"},
        {"two lines swapped",
         joined({lines[0], lines[2], lines[1]}) + joined({lines.begin() + 3, lines.end()}), true,
         "does not follow it"},
        {"the last line cut", joined({lines.begin(), lines.end() - 1}), true, "lines were cut"},
        {"two lines cut", joined({lines.begin(), lines.end() - 2}), true, "lines were cut"},
        {"five lines cut", joined({lines.begin(), lines.end() - 5}), true, "lines were cut"},
        {"rewritten unsigned", rewritten(std::nullopt), false, "holds no checkpoint"},
        {"rewritten, another key", rewritten(readSecretKey(otherKey)), false, "another key"},
        {"another log in its place", rewritten(readSecretKey(key)), true, "anchor"},
        {"a signature changed, the chain redone", joined(forged), false,
         "line " + std::to_string(forgedLine) + ": the checkpoint's signature does not hold"},
        {"empty", "", true, "the log is empty"},
        {"a torn last line", whole + "{\"version\":1,\"ev", true, "is torn"},
    };
    const std::string tampered = workspace / "tampered.jsonl";
    for (const auto& c : cases) {
        writeFile(tampered, c.log);
        const CliResult result = audit(tampered, c.anchored);
        EXPECT_EQ(result.status, 1) << c.what << "\n" << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << "\n" << result.err;
    }
#ifndef _WIN32
    // A pipe in the log's place is refused at once, never read.
    const std::string pipe = workspace / "pipe.jsonl";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_NE(audit(pipe).err.find(pipe + " is not a regular file"), std::string::npos);
#endif
    // Lines after the last checkpoint: a station at work, or killed.
    {
        AuditLog more(log, [](const std::string&) {});
        more.withLock([&] {
            Json record = Json::parse(lines[0]);
            record.erase("prev");
            more.append(record);
        });
    }
    const CliResult open = audit(log, false);
    EXPECT_EQ(open.status, 3) << open.err;
    EXPECT_NE(open.err.find("1 line after the last checkpoint is not sealed yet"),
              std::string::npos);
    // A station without the key refuses the signed log; one with it seals it.
    EXPECT_NE(station("", {"--yes"}).err.find("this log is signed: give its --key"),
              std::string::npos);
    EXPECT_EQ(station("", {"--yes", "--key", key}).status, 0);
    EXPECT_EQ(audit(log, false).status, 0);
}

#ifndef _WIN32
// The hook runs once the result is in the log, reads nothing the operator
// types, and is ended at its limit with what it started.
TEST_F(StationTest, TheHookRunsAfterTheResultWithinItsLimit) {
    writeFile(queue, "name\nLine-1\n");
    const std::string said = workspace / "hook.txt";
    struct Case {
        std::string command;
        Json exitCode;
        bool timedOut;
    };
    const Case cases[] = {
        {"echo \"$TARVEL_PROJECT $TARVEL_OUTCOME $TARVEL_EXIT_CODE [$(cat)]\" > '" + said +
             "'; exit 4",
         4, false},
        {"tail -n 1 '" + log + "' > '" + said + "'; sleep 1000", nullptr, true},
    };
    for (const Case& c : cases) {
        fs::remove(log);
        fs::remove(said);
        const CliResult result = station("q\n", {"--yes", "--no-firmware", "--on-result", c.command,
                                                 "--on-result-timeout", "1"});
        EXPECT_EQ(result.status, 0) << result.err;
        const std::vector<Json> records = logRecords(log);
        ASSERT_EQ(events(records), (std::vector<std::string>{"start:Line-1", "updater:Line-1",
                                                             "result:Line-1:ok", "hook:Line-1"}));
        EXPECT_EQ(records[2]["options"], Json({"NO", "FR", "PW", "PR"}));
        EXPECT_EQ(records[3]["exitCode"], c.exitCode) << c.command;
        EXPECT_EQ(records[3]["timedOut"], c.timedOut) << c.command;
        if (c.timedOut) {
            EXPECT_EQ(Json::parse(readFile(said))["outcome"], "ok");  // recorded before it ran
            EXPECT_NE(result.err.find("the --on-result command was ended after 1 s"),
                      std::string::npos);
        } else {
            EXPECT_EQ(readFile(said), "Line-1 ok 0 []\n");
        }
    }
    EXPECT_EQ(run({"audit", log}).status, 0);
}

// A rig that gives each converter its own adapter.
TEST_F(StationTest, WaitPortTakesOnlyAPortThatAppearsAfterTheStart) {
    writeFile(queue, "name\nLine-1\n");
    const std::string ports = workspace / "by-id";
    fs::create_directory(ports);
    fs::create_symlink("/dev/null", ports + "/usb-old-port0");
    fs::create_symlink("/dev/null", ports + "/.udev-tmp");
    serial->devices = {ports + "/usb-old-port0", ports + "/usb-new-port0"};
    // Plugged in once the station waits, as udev makes it: under another name first.
    const auto plugIn = [&] {
        fs::create_symlink("/dev/null", ports + "/.usb-new-port0.tmp");
        fs::rename(ports + "/.usb-new-port0.tmp", ports + "/usb-new-port0");
    };
    const CliResult result = run({"station", queue, "--wait-port", "--watch", ports, "--yes"}, "",
                                 onceSaid("Waiting for a new port", plugIn));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(logRecords(log).front()["port"], "usb-new-port0");
    EXPECT_EQ(logRecords(log).front()["device"], ports + "/usb-new-port0");

    // No adapter comes: q typed at the terminal ends the wait, and any other
    // line is told why it is not taken.
    fs::remove(log);
    writeFile(queue, "name\nLine-2\n");
    typedLineWaiting = [] { return true; };
    const CliResult quit = run({"station", queue, "--wait-port", "--watch", ports}, "x\nq\n");
    EXPECT_EQ(quit.status, 1);
    EXPECT_NE(quit.err.find("Waiting for a new port\u2026 (q quits)\n"
                            "x: only q is taken while the station waits for a port\n"),
              std::string::npos)
        << quit.err;
    EXPECT_FALSE(fs::exists(log) && !logRecords(log).empty());
}

// Two stations waiting for a new adapter: the one that claims it writes it;
// the other says so and takes the next adapter, never the same converter.
TEST_F(StationTest, TwoWaitingStationsNeverTakeTheSameAdapter) {
    writeFile(queue, "name\nLine-1\n");
    const std::string otherQueue = workspace / "other.csv";
    writeFile(otherQueue, "name\nLine-9\n");
    const std::string ports = workspace / "by-id";
    fs::create_directory(ports);
    serial->devices = {ports + "/usb-a", ports + "/usb-b"};
    const std::string gate = workspace / "gate";
    setEnvironment("TARVEL_UPDATER_GATE", gate);
    std::atomic<int> waiting{0};
    // Adapter A once both wait; B once one says A is taken; the updaters
    // end once B is taken too. /dev/null and /dev/zero are two devices.
    const auto watcher = [&] {
        return [&, plugged = 0](const std::string& err) mutable {
            if (plugged == 0 && err.find("Waiting for a new port") != std::string::npos) {
                plugged = 1;
                if (++waiting == 2)
                    fs::create_symlink("/dev/null", ports + "/usb-a");
            }
            if (plugged == 1 && err.find("is in use by") != std::string::npos) {
                plugged = 2;
                fs::create_symlink("/dev/zero", ports + "/usb-b");
            }
            if (plugged < 3 && err.find("New port usb-b\n") != std::string::npos) {
                plugged = 3;
                writeFile(gate, "");
            }
        };
    };
    CliResult first;
    std::thread station([&] {
        first = run({"station", queue, "--wait-port", "--watch", ports, "--yes"}, "", watcher());
    });
    const CliResult second =
        run({"station", otherQueue, "--wait-port", "--watch", ports, "--yes"}, "", watcher());
    station.join();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(second.status, 0) << second.err;
    const std::set<std::string> devices = {
        logRecords(log).front()["device"],
        logRecords(workspace / "other.audit.jsonl").front()["device"]};
    EXPECT_EQ(devices, (std::set<std::string>{ports + "/usb-a", ports + "/usb-b"}));
    // Who holds it is named once the holder has written its name; a moment
    // before, "another station".
    EXPECT_NE((first.err + second.err).find("New port usb-a is in use by "), std::string::npos);
}

// Run as root, the station must not be led by another user's link to write,
// cut or read where that user may not.
TEST_F(StationTest, NoLinkThatAnotherUserMadeIsFollowed) {
    const std::string victim = workspace / "victim.txt";
    writeFile(victim, "precious");
    if (!makeAnotherUsersLink(victim, log))
        GTEST_SKIP() << "only root gives a link to another user";
    const std::string refusal = " is a link that another user made";
    CliResult result = station("", {"--yes"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(log + refusal), std::string::npos) << result.err;
    fs::remove(log);

    const std::string elsewhere = workspace / "elsewhere";
    fs::create_directory(elsewhere);
    ASSERT_TRUE(makeAnotherUsersLink(elsewhere, log + ".d"));
    result = station("", {"--yes"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(log + ".d" + refusal), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(elsewhere));
    fs::remove(log + ".d");

    const std::string linkedQueue = workspace / "linked.csv";
    ASSERT_TRUE(makeAnotherUsersLink(queue, linkedQueue));
    result = run({"station", linkedQueue, "--port", "COM3", "--yes"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(linkedQueue + refusal), std::string::npos) << result.err;
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(updaterRuns(), 0);
}
#endif

// Three fixtures of a bench on one queue, one pinned by its adapter's
// serial number, and a fourth whose adapter never comes: each row is
// written once, on its fixture's own port; a FAIL is retried on the fixture
// it failed on; each line names its fixture and the events end as the log
// does; the bench ends once no row is left.
TEST_F(StationTest, ABenchWritesEachRowOnceEachFixtureOnItsOwnPort) {
    std::string rows = "name\n";
    for (int i = 1; i <= 6; ++i) rows += "Line-" + std::to_string(i) + "\n";
    writeFile(queue, rows);
    serial->devices = {"COM3", "COM4", "COM33"};  // ttyUSB0 is COM33
    const std::string bench = workspace / "bench.csv";
    const std::string eventsFile = workspace / "events.jsonl";
#ifdef _WIN32
    // Windows tells adapters apart through SetupAPI, which no test can lay
    // out: B is pinned by its port there.
    writeFile(bench, "fixture,port,serial\nA,COM3,\nB,COM33,\nC,COM4,\nD,COM9,\n");
#else
    const std::string usb = systemRoot + "/devices/usb1/1-1.2";
    fs::create_directories(usb + "/1-1.2:1.0");
    fs::create_directories(systemRoot + "/class/tty/ttyUSB0");
    fs::create_symlink(usb + "/1-1.2:1.0", systemRoot + "/class/tty/ttyUSB0/device");
    writeFile(usb + "/idVendor", "0403\n");
    writeFile(usb + "/serial", "FT-B\n");
    fs::create_directories(deviceRoot);
    writeFile(deviceRoot + "/ttyUSB0", "");
    writeFile(bench, "fixture,port,serial\nA,COM3,\nB,,FT-B\nC,COM4,\nD,COM9,\n");
#endif
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "2 0");
    const CliResult result = run(
        {"station", queue, "--fixtures", bench, "--yes", "--retries", "1", "--events", eventsFile});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::map<std::string, std::string> portOf = {
        {"A", "COM3"}, {"B", "COM33"}, {"C", "COM4"}};
    std::map<std::string, std::string> fixtureOf;
    std::map<std::string, int> oks;
    std::map<std::string, std::string> lastOutcome;
    for (const Json& record : logRecords(log)) {
        if (record["event"] != "result")
            continue;
        const std::string fixture = record["fixture"];
        EXPECT_EQ(record["port"], portOf.at(fixture));
        EXPECT_EQ(fixtureOf.emplace(record["project"], fixture).first->second, fixture);
        oks[record["project"]] += record["outcome"] == "ok";
        lastOutcome[fixture] = record["outcome"];
    }
    EXPECT_EQ(oks.size(), 6u);
    for (const auto& [project, count] : oks) EXPECT_EQ(count, 1) << project;
    EXPECT_GE(updaterRuns(), 7);  // the first run failed
    std::istringstream events(readFile(eventsFile));
    std::map<std::string, std::string> lastEvent;
    for (std::string line; std::getline(events, line);) {
        const Json event = Json::parse(line);
        if (!event["outcome"].is_null())
            lastEvent[event["fixture"]] = event["outcome"];
    }
    EXPECT_EQ(lastEvent, lastOutcome);
    const std::string err = result.err;
    std::istringstream lines(err.substr(err.find("\nLog ") + 1));
    std::string line;
    std::getline(lines, line);  // the banner's last line
    while (std::getline(lines, line) && line.find(" provisioned; ") == std::string::npos)
        EXPECT_TRUE(line.rfind("A: ", 0) == 0 || line.rfind("B: ", 0) == 0 ||
                    line.rfind("C: ", 0) == 0 || line.rfind("D: ", 0) == 0)
            << line;
    EXPECT_NE(err.find("D: No adapter for D (COM9); waiting for it\n"), std::string::npos);
    EXPECT_NE(
        readFile(eventsFile)
            .find(
                R"("fixture":"D","row":null,"project":null,"step":"No adapter for D (COM9); waiting for it","state":"no adapter","outcome":null)"),
        std::string::npos);
}

// A fixture's prompt is answered by its number; Enter alone answers the one
// fixture that asks, and a line that answers none says why. With --ui lines
// a terminal gets lines, no table.
TEST_F(StationTest, ABenchIsAnsweredByFixture) {
    writeFile(queue, "name\nLine-1\n");
    const std::string bench = workspace / "bench.csv";
    writeFile(bench, "fixture,port\nA,COM3\n");
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0");
    table = true;  // a terminal, where --ui lines still asks for lines
    const CliResult result =
        run({"station", queue, "--fixtures", bench, "--ui", "lines"}, "x\n2\n1\n\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("A: answer 1 when done (1s skips, q quits)\n"
                              "x: give the fixture's number (3 goes on with fixture 3, 3s skips "
                              "its row), or q to quit\n"
                              "2: give the fixture's number"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("A: answer 1 when it blinks"), std::string::npos);
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(updaterRuns(), 1);
}

TEST_F(StationTest, ABenchFileIsCheckedBeforeAnything) {
    const std::string bench = workspace / "bench.csv";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"fixture,port\nA,COM3\nA,COM4\n", "line 3: the fixture A is given twice"},
        {"fixture,port,serial\nA,COM3,X\n", "line 2: A must be pinned by exactly one of"},
        {"fixture,port\nA,/dev/ttyS0\n", "line 2: /dev/ttyS0 is no port name"},
        {"fixture,usbPath\nA-label-of-17-chr,1-1\n", "line 2: a fixture's label has 1 to 16"},
        {"fixture,port\nA,COM3\nB,com3\n", "line 3: B is pinned as another fixture is"},
        {"fixture\nA\n", "line 1: the header must name fixture and a port"},
        {"fixture,port\n", "line 1: the bench has no fixture"},
    };
    for (const auto& [text, message] : cases) {
        writeFile(bench, text);
        const CliResult result = run({"station", queue, "--fixtures", bench, "--yes"});
        EXPECT_EQ(result.status, 1) << text;
        EXPECT_NE(result.err.find(bench + ": " + message), std::string::npos) << result.err;
    }
    EXPECT_EQ(run({"station", queue, "--fixtures", bench, "--port", "COM3"}).status, 2);
    EXPECT_EQ(run({"station", queue, "--port", "COM3", "--events", "e.jsonl"}).status, 2);
    EXPECT_FALSE(fs::exists(log));
}

// A fixture whose adapter is plugged in once the bench waits for it starts
// then; on a terminal the bench is a table redrawn in place, left above the
// summary, with the state in words.
TEST_F(StationTest, AnAdapterPluggedInLaterStartsItsFixture) {
    writeFile(queue, "name\nLine-1\n");
    const std::string bench = workspace / "bench.csv";
    writeFile(bench, "fixture,port\nLate,COM9\n");
    setEnvironment("TARVEL_UPDATER_EXIT_CODES", "0");
    table = true;
    const CliResult result = run({"station", queue, "--fixtures", bench, "--yes"}, "",
                                 onceSaid("no adapter", [&] { serial->plugIn("COM9"); }));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(logRecords(log).back()["fixture"], "Late");
    EXPECT_EQ(logRecords(log).back()["outcome"], "ok");
    const std::string err = result.err;
    const std::size_t lastFrame = err.rfind("\r\x1b[");
    ASSERT_NE(lastFrame, std::string::npos) << err;
    EXPECT_NE(err.find("1  Late    COM9", lastFrame), std::string::npos) << err.substr(lastFrame);
    EXPECT_NE(err.find(" PASS       ok ", lastFrame), std::string::npos) << err.substr(lastFrame);
    EXPECT_NE(err.find("\n1 of 1 provisioned; 0 pending", lastFrame), std::string::npos);
}

}  // namespace
