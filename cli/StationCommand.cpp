// station: a queue of converters provisioned one after another, each attempt
// recorded in the audit log, resumed where it stopped.
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "app/BuildMarker.h"
#include "app/ProjectLock.h"
#include "app/ProjectPaths.h"
#include "app/Version.h"
#include "cli/AuditLog.h"
#include "cli/Cli.h"
#include "cli/ImageReport.h"
#include "common/IntegerText.h"
#include "common/Sha256.h"
#include "common/UtcTime.h"
#include "common/Utf8.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/PortWatch.h"
#include "platform/ProcessIdentity.h"
#include "platform/SerialAdapter.h"
#include "platform/SerialNames.h"
#include "update/CommInt.h"
#include "update/OutputFollower.h"
#include "update/PortConnection.h"
#include "update/UpdaterCommandLine.h"

namespace {

constexpr std::size_t kKeptOutputBytes = 4096;
constexpr auto kPortSettleTime = std::chrono::seconds(3);
constexpr auto kRetryPause = std::chrono::milliseconds(100);
constexpr const char* kDefaultWatchFolder = "/dev/serial/by-id";

enum class Answer { Go, Skip, Quit };
// What the queue does after a row.
enum class Next { Row, Quit, Stop };

// The four option tokens as the updater gets them.
Json optionTokens(const platform::ProgramArguments& command) {
    return Json(
        std::vector<std::string>(command.arguments.begin() + 1, command.arguments.begin() + 5));
}

std::string fileDigest(const std::string& path) {
    const auto bytes = platform::readFileContents(path);
    return bytes ? sha256Hex(*bytes) : std::string();
}

// A name that any file system takes, for an attempt's output file.
std::string fileNamePart(const std::string& text) {
    std::string part;
    for (const char c : text)
        part += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
    return part;
}

// The same attempt: one station process's claim of one project.
bool sameAttempt(const Json& a, const Json& b) {
    return a.value("host", "") == b.value("host", "") &&
           a.value("pid", 0UL) == b.value("pid", 0UL) &&
           a.value("pidStart", Json()) == b.value("pidStart", Json());
}

// A start time as records hold it: a number, or null where it could not be
// read. The 0 of older records means the same as null.
Json startJson(const std::optional<std::uint64_t>& start) {
    return start ? Json(*start) : Json(nullptr);
}

std::optional<std::uint64_t> startOf(const Json& record, const char* key) {
    const Json start = record.value(key, Json());
    if (!start.is_number_unsigned() || start.get<std::uint64_t>() == 0)
        return std::nullopt;
    return start.get<std::uint64_t>();
}

// Who a record names: the station (pid) or its updater (updaterPid).
platform::ProcessIdentity processOf(const Json& record, const char* pidKey, const char* startKey) {
    return {record.value("host", ""), record.value("boot", ""), record.value(pidKey, 0UL),
            startOf(record, startKey)};
}

// What the log tells of one project: records of the log, valid until the
// next append.
struct RowRecords {
    const Json* lastOk = nullptr;
    const Json* openStart = nullptr;        // a start without its result
    const Json* openUpdater = nullptr;      // that attempt's updater
    const Json* timedOutUpdater = nullptr;  // the updater of an attempt that timed out
};

class Station {
  public:
    explicit Station(Cli& cli) : cli_(cli), arguments_(cli.arguments) {}

    int run() {
        readOptions();
        const auto rows = applyQueue(cli_, queueFile_);
        if (!rows)
            return 1;
        rows_ = *rows;
        log_ = std::make_unique<AuditLog>(logPath_, [this](const std::string& message) {
            cli_.tellAboutFile(logPath_, message);
        });
        log_->withLock([this] {
            redoBeforeLine_ = log_->records().size() + 1;
            // An updater that outlived its time limit may hold its port still.
            for (const auto& [project, row] : rowRecords()) {
                if (row.timedOutUpdater && updaterRuns(*row.timedOutUpdater))
                    runningUpdaters_.push_back(*row.timedOutUpdater);
            }
            recordInterruptedAttempts();
        });
        warnOfOtherImages();
        if (watch_)
            knownPorts_ = portNames();
        for (;;) {
            const auto row = nextRow();
            if (!row)
                break;
            const Next next = provision(*row);
            if (next != Next::Row)
                break;
        }
        return summarize();
    }

  private:
    void readOptions() {
        queueFile_ = arguments_.operands(1).front();
        if (cli_.json())
            arguments_.refuse("station takes no --json: its record is the audit log");
        port_ = arguments_.option("--port").value_or("");
        const bool waitPort = arguments_.flag("--wait-port");
        if (waitPort == !port_.empty())
            arguments_.refuse("give either --port or --wait-port");
        if (arguments_.option("--watch") && !waitPort)
            arguments_.refuse("--watch goes with --wait-port");
        if (waitPort)
            watch_ = std::make_unique<platform::PortWatch>(
                arguments_.option("--watch").value_or(kDefaultWatchFolder));
        options_.firmware = !arguments_.flag("--no-firmware");
        options_.readFirmware = !arguments_.flag("--no-read-firmware");
        options_.project = !arguments_.flag("--no-project");
        options_.readProject = !arguments_.flag("--no-read-project");
        yes_ = arguments_.flag("--yes");
        if (const auto retries = arguments_.option("--retries")) {
            const auto count = tryParseInteger(*retries);
            if (!count || *count < 0 || *count > 1000)
                arguments_.refuse("--retries takes a number from 0 to 1000");
            retries_ = static_cast<int>(*count);
        }
        hook_ = arguments_.option("--on-result").value_or("");
        redo_ = arguments_.option("--redo").value_or("");
        const std::string stem =
            queueFile_.size() > 4 && queueFile_.compare(queueFile_.size() - 4, 4, ".csv") == 0
                ? queueFile_.substr(0, queueFile_.size() - 4)
                : queueFile_;
        logPath_ = arguments_.option("--log").value_or(stem + ".audit.jsonl");
        if (queueFile_ == "-" && !arguments_.option("--log"))
            arguments_.refuse("a queue from standard input needs --log");
    }

    // ---- What the log says -------------------------------------------

    std::map<std::string, RowRecords> rowRecords() const {
        std::map<std::string, RowRecords> rows;
        for (const AuditRecord& record : log_->records()) {
            const Json& json = record.json;
            RowRecords& row = rows[json["project"].get<std::string>()];
            const std::string event = json["event"];
            if (event == "start") {
                row.openStart = &json;
                row.openUpdater = nullptr;
            } else if (event == "updater") {
                if (row.openStart && sameAttempt(*row.openStart, json))
                    row.openUpdater = &json;
            } else {
                if (row.openStart && sameAttempt(*row.openStart, json)) {
                    if (json.value("outcome", "") == "timeout")
                        row.timedOutUpdater = row.openUpdater;
                    row.openStart = nullptr;
                    row.openUpdater = nullptr;
                }
                const bool redone = record.line < redoBeforeLine_ && json["project"] == redo_;
                if (json.value("outcome", "") == "ok" && !redone)
                    row.lastOk = &json;
            }
        }
        return rows;
    }

    // Whether the station that wrote a start may still run: on this host,
    // unless its process has surely ended; on another, for a day.
    static bool stationRuns(const Json& start) {
        BuildMarker marker;
        marker.builder = processOf(start, "pid", "pidStart");
        marker.created = parseIsoUtc(start.value("started", "")).value_or(0) / 1000;
        return !isAbandonedBuild(marker, platform::thisHost().host, utcNowMs() / 1000);
    }

    // Whether an interrupted attempt's updater may still run on this host.
    static bool updaterRuns(const Json& updater) {
        const platform::ProcessIdentity process =
            processOf(updater, "updaterPid", "updaterStarted");
        return process.host == platform::thisHost().host && platform::mayBeRunning(process);
    }

    // With the log locked: each attempt whose station died gets its result,
    // and its updater, if it still runs, is remembered so that its port is
    // left alone until it ends.
    void recordInterruptedAttempts() {
        std::vector<std::pair<Json, const Json*>> interrupted;  // each start and its updater
        for (const auto& [project, row] : rowRecords()) {
            if (row.openStart && !stationRuns(*row.openStart))
                interrupted.emplace_back(*row.openStart, row.openUpdater);
        }
        for (const auto& [start, updater] : interrupted) {
            if (updater && updaterRuns(*updater))
                runningUpdaters_.push_back(*updater);
        }
        for (const auto& [start, updater] : interrupted) {
            const std::string project = start["project"];
            Json result = start;
            result["event"] = "result";
            result["outcome"] = "interrupted";
            result["exitCode"] = nullptr;
            result["ended"] = isoUtc(utcNowMs());
            result["output"] = "";
            result["recordedBy"] = identity();
            log_->append(result);
            cli_.tell(project, "its attempt of " + start.value("started", "") +
                                   " was interrupted; it is pending again");
        }
    }

    void warnOfOtherImages() const {
        const auto records = rowRecords();
        for (const AppliedRow& row : rows_) {
            const auto found = records.find(row.name);
            if (found == records.end() || !found->second.lastOk)
                continue;
            const Json& ok = *found->second.lastOk;
            if (ok.value("imageSha256", "") != sha256Hex(row.image))
                cli_.tell(row.name, row.name + " was provisioned on " + ok.value("ended", "") +
                                        " with another image; --redo " + row.name +
                                        " provisions it again.");
        }
    }

    // The first row that is neither done, nor being provisioned by a live
    // station, nor let go by this one in this run. While none is free but
    // another station on this host still works on one, its outcome is
    // awaited: the row may come free again.
    std::optional<std::size_t> nextRow() {
        std::string awaited;
        for (;;) {
            std::optional<std::size_t> next;
            std::string busy;
            log_->withLock([&] {
                recordInterruptedAttempts();  // a station may have died meanwhile
                const auto records = rowRecords();
                const std::string here = platform::thisHost().host;
                for (std::size_t i = 0; i < rows_.size() && !next; ++i) {
                    const auto found = records.find(rows_[i].name);
                    if (letGo_.count(rows_[i].name) || found == records.end()) {
                        if (!letGo_.count(rows_[i].name))
                            next = i;
                        continue;
                    }
                    const RowRecords& row = found->second;
                    if (!row.lastOk && !row.openStart)
                        next = i;
                    else if (!row.lastOk && busy.empty() &&
                             row.openStart->value("host", "") == here)
                        busy = rows_[i].name;
                }
            });
            if (next || busy.empty())
                return next;
            if (busy != awaited)
                say("Waiting for " + busy + ", which another station provisions");
            awaited = busy;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }

    // ---- One converter -------------------------------------------------

    Next provision(std::size_t index) {
        const AppliedRow& row = rows_[index];
        say(row.name + " (" + std::to_string(index + 1) + " of " + std::to_string(rows_.size()) +
            ")");
        say("1 - Turn OFF the Device");
        say("2 - Connect the RS232 cable");
        std::string port = port_;
        std::string device;
        if (watch_) {
            const auto appeared = waitForNewPort();
            if (!appeared)
                return Next::Quit;
            port = appeared->first;
            device = appeared->second;
        } else {
            const Answer answer = ask("Enter when done; s skips, q quits: ");
            if (answer != Answer::Go)
                return letGo(row, answer);
            device = platform::devicePathForName(port);
        }
        for (int failures = 0;; ++failures) {
            Json start;
            if (!claim(row, port, device, start)) {
                say(row.name + " was taken by another station");
                return Next::Row;
            }
            const AttemptEnd end = attempt(row, port, device, start);
            if (end.next != Next::Row || end.outcome == "ok") {
                if (end.outcome == "ok")
                    disconnect(port, index + 1 == rows_.size());
                return end.next;
            }
            if (end.outcome == "skipped")
                return letGo(row, Answer::Skip);
            Answer answer = Answer::Skip;
            if (yes_)
                answer = failures < retries_ ? Answer::Go : Answer::Skip;
            else
                answer = ask("Enter retries; s skips, q quits: ");
            if (answer != Answer::Go)
                return letGo(row, answer);
        }
    }

    Next letGo(const AppliedRow& row, Answer answer) {
        letGo_.insert(row.name);
        return answer == Answer::Quit ? Next::Quit : Next::Row;
    }

    // Appends the row's start record unless another station got it first.
    bool claim(const AppliedRow& row, const std::string& port, const std::string& device,
               Json& start) {
        bool claimed = false;
        log_->withLock([&] {
            const auto records = rowRecords();
            const auto found = records.find(row.name);
            if (found != records.end() && (found->second.lastOk || found->second.openStart))
                return;
            const std::string folder = row.folder;
            start = Json{{"version", kAuditVersion},
                         {"event", "start"},
                         {"project", row.name},
                         {"row", row.line},
                         {"port", port},
                         {"device", device},
                         {"adapter", adapterJson(platform::serialAdapterFor(port))},
                         {"image", imageJson(row.image)["bytes"]},
                         {"imageSha256", sha256Hex(row.image)},
                         {"pargenSha256", fileDigest(ProjectPaths(folder).generalParameters)},
                         {"options", optionTokens(updaterCommand(port, folder))},
                         {"started", isoUtc(utcNowMs())}};
            start.update(identity());
            log_->append(start);
            claimed = true;
        });
        return claimed;
    }

    struct AttemptEnd {
        std::string outcome;
        Next next = Next::Row;
    };

    AttemptEnd attempt(const AppliedRow& row, const std::string& port, const std::string& device,
                       Json record) {
        record["event"] = "result";
        record["exitCode"] = nullptr;
        record["output"] = "";
        waitForInterruptedUpdaters(device);
        // A port given by name is opened, and handed to the updater, as the
        // wizard does; a port that appeared by its path.
        const std::string& opened = watch_ ? device : port;
        if (const auto problem = testOpen(opened)) {
            say(std::string(kPortCannotBeOpened) + " " + *problem);
            finish(record, "port-error", "");
            return {"port-error"};
        }
        say("4 - Turn ON the Device");
        say("5 - Check the BOOT led. It must blink quickly");
        const Answer answer = ask("Enter when it blinks; s skips, q quits: ");
        if (answer != Answer::Go) {
            finish(record, "skipped", "");
            return {"skipped", answer == Answer::Quit ? Next::Quit : Next::Row};
        }
        try {
            const ProjectLock lock(row.folder, row.name, kProjectLockWaitMs,
                                   cli_.environment.lockPause);
            const std::string image = cli_.writeImage(lock, row.folder, row.name);
            record["image"] = imageJson(image)["bytes"];
            record["imageSha256"] = sha256Hex(image);
            record["pargenSha256"] = fileDigest(ProjectPaths(row.folder).generalParameters);
        } catch (const std::exception& e) {
            say(row.name + ": " + e.what());
            finish(record, "failed", e.what());
            return {"failed"};
        }
        return runUpdater(row, opened, record);
    }

    AttemptEnd runUpdater(const AppliedRow& row, const std::string& opened, Json& record) {
        const std::string name = fileNamePart(record["started"].get<std::string>()) + "-" +
                                 std::to_string(platform::currentProcessId()) + "-" +
                                 fileNamePart(row.name) + ".txt";
        const std::string outputFile = log_->outputFolder() + platform::kPathSeparator + name;
        // Beside the log, wherever the log is moved with its folder.
        record["outputFile"] = log_->outputFolderName() + "/" + name;
        WaitSettings settings = cli_.environment.wait;
        settings.outputFile = outputFile;
        settings.onLaunched = [&](platform::LaunchedProgram& updater) {
            Json started = record;
            started["event"] = "updater";
            started.erase("exitCode");
            started.erase("output");
            started["updaterPid"] = updater.processId();
            started["updaterStarted"] =
                startJson(platform::processOnThisHost(updater.processId()).start);
            log_->withLock([&] { log_->append(started); });
        };
        OutputEcho echo(cli_, outputFile);
        settings.whileWaiting = [&](std::uint32_t elapsedMs) { echo.show(elapsedMs); };
        const RunOutcome outcome = runAndWait(updaterProgramPath(cli_.workspace.root),
                                              updaterCommand(opened, row.folder), false, settings);
        echo.finish();
        if (!outcome.launchError.empty())
            say(outcome.launchError);
        std::string result = "failed";
        if (outcome.kind == RunOutcome::Kind::Ended) {
            record["exitCode"] = outcome.exitCode;
            if (outcome.exitCode == 0)
                result = "ok";
        } else if (outcome.kind == RunOutcome::Kind::StillRunning) {
            result = "timeout";
        }
        say(outcomeText(outcome));
        const std::string kept = echo.kept();
        finish(record, result, kept.empty() ? outcome.launchError : kept);
        showVerdict(result == "ok");
        if (result == "timeout") {
            cli_.tell(record["port"],
                      "the updater still runs and holds the port: the station stops");
            return {result, Next::Stop};
        }
        return {result};
    }

    // The hook, then the result record.
    void finish(Json& record, const std::string& outcome, const std::string& output) {
        record["outcome"] = outcome;
        record["ended"] = isoUtc(utcNowMs());
        record["output"] = output;
        if (!hook_.empty()) {
            const std::string exitCode =
                record["exitCode"].is_null() ? "" : std::to_string(record["exitCode"].get<int>());
            const auto status =
                platform::runShellCommand(hook_, {{"TARVEL_PROJECT", record["project"]},
                                                  {"TARVEL_PORT", record["port"]},
                                                  {"TARVEL_OUTCOME", outcome},
                                                  {"TARVEL_EXIT_CODE", exitCode},
                                                  {"TARVEL_IMAGE", record["image"]}});
            record["onResultExit"] = status ? Json(*status) : Json(nullptr);
        }
        log_->withLock([&] { log_->append(record); });
    }

    // ---- The port ------------------------------------------------------

    std::optional<std::string> testOpen(const std::string& port) {
        const auto deadline = std::chrono::steady_clock::now() + kPortSettleTime;
        for (;;) {
            try {
                TComm comm(cli_.environment.serial);
                connectPort(comm, port);
                comm.Close();
                return std::nullopt;
            } catch (const ECommError& e) {
                // A new adapter's device may not let us in at once.
                if (!watch_ || std::chrono::steady_clock::now() >= deadline)
                    return std::string(e.what());
            }
            std::this_thread::sleep_for(kRetryPause);
        }
    }

    void waitForInterruptedUpdaters(const std::string& device) {
        for (const Json& updater : runningUpdaters_) {
            if (updater.value("device", "") != device || !updaterRuns(updater))
                continue;
            say("The updater (process " + std::to_string(updater.value("updaterPid", 0UL)) +
                ") of an earlier attempt still runs on " + device + "; waiting for its end");
            while (updaterRuns(updater))
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }

    std::set<std::string> portNames() const {
        std::set<std::string> names;
        for (const auto& [name, path] : watch_->ports()) names.insert(name);
        return names;
    }

    // A port that was not there before; names that went away are forgotten,
    // so that an adapter plugged in again counts as new.
    std::optional<std::pair<std::string, std::string>> waitForNewPort() {
        say("Waiting for a new port…");
        for (;;) {
            const auto ports = watch_->ports();
            for (auto known = knownPorts_.begin(); known != knownPorts_.end();)
                known = ports.count(*known) ? std::next(known) : knownPorts_.erase(known);
            for (const auto& [name, path] : ports) {
                if (knownPorts_.insert(name).second) {
                    say("New port " + name);
                    return std::make_pair(name, path);
                }
            }
            watch_->waitForChange(1000);
        }
    }

    void disconnect(const std::string& port, bool lastRow) {
        say("Disconnect the converter");
        if (!watch_ || lastRow)
            return;
        while (watch_->ports().count(port)) watch_->waitForChange(1000);
        knownPorts_.erase(port);
    }

    // ---- Talking with the operator ------------------------------------

    void say(const std::string& line) const { cli_.err << line << '\n' << std::flush; }

    Answer ask(const std::string& prompt) const {
        if (yes_)
            return Answer::Go;
        for (;;) {
            cli_.err << prompt << std::flush;
            std::string line;
            if (!cli_.environment.input || !std::getline(*cli_.environment.input, line)) {
                cli_.err << '\n';
                return Answer::Quit;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                return Answer::Go;
            if (line == "s" || line == "S")
                return Answer::Skip;
            if (line == "q" || line == "Q")
                return Answer::Quit;
        }
    }

    void showVerdict(bool passed) const {
        const bool terminal = cli_.environment.progressOnTerminal;
        const std::string word = passed ? "PASS" : "FAIL";
        if (!terminal) {
            say(word);
            return;
        }
        cli_.err << (passed ? "\x1b[1;32m" : "\x1b[1;31m") << word << "\x1b[0m"
                 << (passed ? "\a" : "\a\a\a") << '\n'
                 << std::flush;
    }

    // Shows the updater's new lines, and on a terminal the seconds.
    class OutputEcho {
      public:
        OutputEcho(Cli& cli, const std::string& file)
            : cli_(cli), output_(file, kKeptOutputBytes) {}
        void show(std::uint32_t elapsedMs) {
            const bool terminal = cli_.environment.progressOnTerminal;
            if (terminal)
                cli_.err << "\r\x1b[K";
            printNewLines(false);
            if (terminal)
                cli_.err << runningText(elapsedMs);
            cli_.err << std::flush;
        }
        void finish() {
            if (cli_.environment.progressOnTerminal)
                cli_.err << "\r\x1b[K";
            printNewLines(true);
        }
        // The updater's last bytes, as the record keeps them.
        std::string kept() const { return withInvalidBytesReplaced(output_.tail()); }

      private:
        // Whole lines only while it runs; the rest at its end.
        void printNewLines(bool all) {
            pending_ += output_.readNew();
            const std::size_t lastBreak = pending_.rfind('\n');
            const std::size_t end = all                              ? pending_.size()
                                    : lastBreak == std::string::npos ? 0
                                                                     : lastBreak + 1;
            if (end == 0)
                return;
            std::string lines = withInvalidBytesReplaced(pending_.substr(0, end));
            std::erase(lines, '\r');  // a Windows updater's CRLF; the stream adds its own
            if (!lines.empty() && lines.back() != '\n')
                lines += '\n';
            cli_.err << lines;
            pending_.erase(0, end);
        }
        Cli& cli_;
        OutputFollower output_;
        std::string pending_;
    };

    // ---- Pieces --------------------------------------------------------

    platform::ProgramArguments updaterCommand(const std::string& port,
                                              const std::string& folder) const {
        return updaterCommandLine(port, options_, cli_.workspace.root, folder);
    }

    static Json identity() {
        const platform::ProcessIdentity self = platform::thisProcess();
        return {{"host", self.host},
                {"boot", self.boot},
                {"user", platform::currentUserName()},
                {"pid", self.processId},
                {"pidStart", startJson(self.start)},
                {"tool", std::string("tarvel-cli ") + kVersion}};
    }

    // What each row came to; 0 when none is pending.
    int summarize() {
        std::size_t pending = 0;
        log_->withLock([&] {
            const auto records = rowRecords();
            for (const AppliedRow& row : rows_) {
                const auto found = records.find(row.name);
                const bool done = found != records.end() && found->second.lastOk;
                cli_.out << (done ? "ok      " : "pending ") << row.name << '\n';
                pending += done ? 0 : 1;
            }
        });
        say(std::to_string(rows_.size() - pending) + " of " + std::to_string(rows_.size()) +
            " provisioned; " + std::to_string(pending) + " pending");
        return pending == 0 ? 0 : 1;
    }

    Cli& cli_;
    const Arguments& arguments_;
    std::string queueFile_;
    std::string logPath_;
    std::string port_;
    std::unique_ptr<platform::PortWatch> watch_;
    std::set<std::string> knownPorts_;
    UpdateOptions options_;
    bool yes_ = false;
    int retries_ = 0;
    std::string hook_;
    std::string redo_;
    std::size_t redoBeforeLine_ = 0;
    std::vector<AppliedRow> rows_;
    std::unique_ptr<AuditLog> log_;
    std::set<std::string> letGo_;
    std::vector<Json> runningUpdaters_;
};

}  // namespace

int stationCommand(Cli& cli) {
    return Station(cli).run();
}
