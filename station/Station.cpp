#include "station/Station.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

#include "common/HexBytes.h"
#include "common/Sha256.h"
#include "common/UtcTime.h"
#include "common/Utf8.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/PortClaim.h"
#include "platform/PortWatch.h"
#include "platform/ProcessIdentity.h"
#include "platform/SerialAdapter.h"
#include "platform/SerialNames.h"
#include "platform/ShellCommand.h"
#include "project/ProjectPaths.h"
#include "station/Attempt.h"
#include "station/AuditLog.h"
#include "station/Claims.h"
#include "station/Proof.h"
#include "station/QueueState.h"
#include "station/Records.h"
#include "update/ComPortDiscovery.h"
#include "update/CommInt.h"
#include "update/OutputFollower.h"
#include "update/PortConnection.h"
#include "update/PortDescription.h"

namespace {

constexpr std::size_t kKeptOutputBytes = 4096;
constexpr std::size_t kOutputPiece = 65536;
// How long a wait for a port goes before it looks for the operator's q.
constexpr unsigned kLookForQuit = 250;
constexpr auto kPortSettleTime = std::chrono::seconds(3);
constexpr auto kRetryPause = std::chrono::milliseconds(100);

// What the queue does after a row.
enum class Next { Row, Quit, Stop };

// The four option tokens as the updater gets them.
Json optionTokens(const platform::ProgramArguments& command) {
    return Json(
        std::vector<std::string>(command.arguments.begin() + 1, command.arguments.begin() + 5));
}

// A name that any file system takes, for an attempt's output file.
std::string fileNamePart(const std::string& text) {
    std::string part;
    for (const char c : text)
        part += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
    return part;
}

// What the stations of one process (the fixtures of a bench) share of the
// queue. The redo and the outdated rows are settled before the first
// converter; the rest changes as they work, under the mutex.
struct SharedQueue {
    Redo redo;
    std::set<std::string> outdated;
    std::mutex mutex;
    // Rows let go in this run: skipped or quit.
    std::set<std::string> letGo;
    // Rows a station of this process has taken up and not yet finished.
    std::set<std::string> taken;
    // Updaters of earlier attempts that may still hold their ports.
    std::vector<Json> runningUpdaters;
    // A fixture has failed (the log cannot be used): the others stop as
    // they would at a Ctrl-C, once their updaters have ended.
    std::atomic<bool> stopping{false};
};

class Station {
  public:
    // A station of its own, or, given a fixture, one of a bench whose queue
    // is shared.
    Station(const StationSettings& settings, const std::vector<QueueRow>& rows, StationFace& face,
            std::shared_ptr<SharedQueue> shared = std::make_shared<SharedQueue>(),
            const Fixture* fixture = nullptr)
        : settings_(settings),
          rows_(rows),
          face_(face),
          shared_(std::move(shared)),
          redo_(shared_->redo),
          fixture_(fixture) {
        if (settings_.port.empty() && settings_.fixtures.empty())
            watch_ = std::make_unique<platform::PortWatch>(settings_.watchFolder);
    }

    int run() {
        if (!prepare())
            return 1;
        provisionRows();
        return summarize();
    }

    // Before the first converter: what every converter needs, then the
    // log's state (attempts of stations that died, its seal, outdated rows)
    // and the banner. False when something is missing: nothing was written.
    bool prepare() {
        if (!readyForTheFirstConverter())
            return false;
        openLog();
        log_->withLock([this] {
            redo_ = {{}, log_->records().size() + 1};
            if (!settings_.redo.empty())
                redo_.projects.insert(settings_.redo);
            // An updater that outlived its time limit may hold its port still.
            for (const auto& [project, row] : rowRecords(log_->records(), redo_)) {
                if (row.leftRunningUpdater && updaterRuns(*row.leftRunningUpdater))
                    shared_->runningUpdaters.push_back(*row.leftRunningUpdater);
            }
            takeInterruptedAttempts();
            checkSigning();
        });
        findOutdatedRows();
        showBanner();
        return true;
    }

    // Row after row until none is left, the operator quits, or an updater
    // that would not end holds the port.
    void provisionRows() {
        if (!log_)
            openLog();
        if (watch_)
            knownPorts_ = portNames();
        for (;;) {
            // A fixture takes a row only once its adapter is there.
            if (interruptions() > 0 || (fixture_ && !waitForFixtureAdapter()))
                break;
            const auto row = nextRow();
            if (!row)
                break;
            const Next next = provision(*row);
            {
                const std::lock_guard<std::mutex> lock(shared_->mutex);
                shared_->taken.erase(rows_[*row].name);
            }
            if (next != Next::Row)
                break;
        }
    }

    // Whether a row is neither done nor let go: one this station, or a
    // sibling that fails it, may still write.
    bool rowLeft() {
        bool left = false;
        log_->withLock([&] {
            const auto records = rowRecords(log_->records(), redo_);
            const std::lock_guard<std::mutex> lock(shared_->mutex);
            for (const QueueRow& row : rows_) {
                const auto found = records.find(row.name);
                left = left || (!shared_->letGo.count(row.name) &&
                                (found == records.end() || !found->second.lastOk));
            }
        });
        return left;
    }

    // What each row came to; 0 when none is pending or outdated.
    int summarize() {
        std::size_t pending = 0;
        std::size_t outdated = 0;
        log_->withLock([&] {
            const auto records = rowRecords(log_->records(), redo_);
            for (const QueueRow& row : rows_) {
                const auto found = records.find(row.name);
                const bool done = found != records.end() && found->second.lastOk;
                outdated += done && shared_->outdated.count(row.name);
                const RowState state = !done                               ? RowState::Pending
                                       : shared_->outdated.count(row.name) ? RowState::Outdated
                                                                           : RowState::Done;
                face_.rowOutcome(row.name, state);
                pending += state == RowState::Done ? 0 : 1;
            }
            seal();
        });
        face_.step(std::to_string(rows_.size() - pending) + " of " + std::to_string(rows_.size()) +
                   " provisioned; " + std::to_string(pending) + " pending" +
                   (outdated ? " (" + std::to_string(outdated) + " outdated)" : ""));
        return pending == 0 ? 0 : 1;
    }

  private:
    void openLog() {
        log_ = std::make_unique<AuditLog>(settings_.logPath, [this](const std::string& message) {
            face_.tellAboutFile(settings_.logPath, message);
        });
    }

    int interruptions() const {
        const int interrupted = settings_.interruptions ? settings_.interruptions() : 0;
        return std::max(interrupted, shared_->stopping ? 1 : 0);
    }

    // ---- The log's seal -----------------------------------------------

    // With the log locked: a signed log goes on only with its key, and what
    // a station left unsealed, or a log never signed, is sealed at once.
    void checkSigning() {
        const auto& records = log_->records();
        const auto signedBy = std::find_if(records.rbegin(), records.rend(), [](const auto& r) {
            return r.json["event"] == "checkpoint";
        });
        if (signedBy != records.rend() && !settings_.key)
            throw LogError(settings_.logPath, "this log is signed: give its --key");
        if (signedBy != records.rend() && signedBy->json["key"] != settings_.key->publicKey().id())
            throw LogError(settings_.logPath, "this log is signed by another key (" +
                                                  signedBy->json["key"].get<std::string>() + ")");
        if (settings_.key && signedBy == records.rend() && !records.empty())
            face_.tellAboutFile(settings_.logPath,
                                "the log was not signed; a checkpoint now seals its " +
                                    std::to_string(records.size()) + " lines");
        seal();
    }

    // With the log locked: a checkpoint after the last line, when signing
    // and the last line is none; kept in the anchor folder too.
    void seal() {
        const auto& records = log_->records();
        if (!settings_.key || records.empty() || records.back().json["event"] == "checkpoint")
            return;
        const std::string line = log_->appendCheckpoint(*settings_.key);
        if (settings_.anchorFolder.empty())
            return;
        const std::string file = anchorFile(settings_.anchorFolder, log_->id());
        std::string reason;
        if (!platform::replaceFileContents(file, line + "\n", &reason))
            throw LogError(file, "cannot keep the checkpoint: " + reason);
    }

    // ---- The queue -----------------------------------------------------

    // With the log locked: each attempt whose station died gets its result,
    // and its updater, if it still runs, is remembered so that its port is
    // left alone until it ends.
    void takeInterruptedAttempts() {
        for (const InterruptedAttempt& attempt :
             recordInterruptedAttempts(*log_, redo_, settings_.claimFolder)) {
            if (attempt.runningUpdater) {
                const std::lock_guard<std::mutex> lock(shared_->mutex);
                shared_->runningUpdaters.push_back(*attempt.runningUpdater);
            }
            face_.tell(attempt.start["project"], "its attempt of " +
                                                     attempt.start.value("started", "") +
                                                     " was interrupted; it is pending again");
        }
    }

    // ---- Before the first converter -------------------------------------

    // What every converter needs, checked before the operator's first step:
    // each thing missing is said on a line of its own.
    bool readyForTheFirstConverter() {
        std::vector<std::string> missing = missingUpdaterFiles(settings_.workspaceRoot);
        // A fixture's absent adapter is awaited, not refused.
        if (!settings_.port.empty() && settings_.fixtures.empty()) {
            if (const auto absent = absentPort())
                missing.push_back(*absent);
        }
        for (const QueueRow& row : rows_) {
            const std::string document = ProjectPaths(row.folder).generalParameters;
            if (!platform::regularFileExists(document))
                missing.push_back(row.name + " has no parameter document: " + document +
                                  " is missing");
        }
        for (const std::string& problem : missing) face_.step(problem);
        if (!missing.empty())
            face_.step("The station did not start: nothing was written.");
        return missing.empty();
    }

    // The --port, unless it names a port that is present; then the ports that are.
    std::optional<std::string> absentPort() {
        if (portPresent(*settings_.serial, settings_.port))
            return std::nullopt;
        return portText(settings_.port) + ": no such port; ports here: " + portsHere();
    }

    // "COM1 (/dev/ttyS0), COM3 (/dev/ttyUSB0), …", or "none".
    std::string portsHere() const {
        std::string present;
        for (const ComPortState& port : probeComPorts(*settings_.serial)) {
            const std::string name = "COM" + std::to_string(port.number);
            present += (present.empty() ? "" : ", ") + portText(name);
        }
        return present.empty() ? "none" : present;
    }

    // "COM1 (/dev/ttyS0)", and the adapter behind it when there is one.
    static std::string portText(const std::string& port, const std::string& device = {}) {
        std::string text =
            port + " (" + (device.empty() ? platform::devicePathForName(port) : device) + ")";
        if (const auto adapter = platform::serialAdapterFor(port))
            text += ", " + adapterSummary(*adapter);
        return text;
    }

    // A row done with another image than the queue's now is outdated: still
    // to do, and written again only when asked.
    void findOutdatedRows() {
        std::set<std::string> outdated;
        log_->withLock([&] {
            const auto records = rowRecords(log_->records(), redo_);
            for (const QueueRow& row : rows_) {
                const auto found = records.find(row.name);
                if (found == records.end() || !found->second.lastOk)
                    continue;
                const Json& ok = *found->second.lastOk;
                if (ok.value("imageSha256", "") == sha256Hex(row.image))
                    continue;
                outdated.insert(row.name);
                face_.tell(row.name,
                           row.name + " was provisioned on " + ok.value("ended", "") +
                               " with another image: it is outdated" +
                               (settings_.redoOutdated ? "; it is provisioned again"
                                                       : "; --redo-outdated provisions it again"));
            }
        });
        if (settings_.redoOutdated)
            redo_.projects.insert(outdated.begin(), outdated.end());
        else
            shared_->outdated = std::move(outdated);
    }

    std::string portsFact() const {
        return watch_ ? "each new adapter in " + settings_.watchFolder : portText(settings_.port);
    }

    // "2: A (COM1), B (usbPath 1-1.2)".
    std::string fixturesFact() const {
        std::string text = std::to_string(settings_.fixtures.size()) + ":";
        const char* separator = " ";
        for (const Fixture& fixture : settings_.fixtures) {
            text += separator + fixture.label + " (" + pinText(fixture) + ")";
            separator = ", ";
        }
        return text;
    }

    void showBanner() {
        std::size_t done = 0;
        log_->withLock([&] {
            const auto records = rowRecords(log_->records(), redo_);
            for (const QueueRow& row : rows_) {
                const auto found = records.find(row.name);
                done += found != records.end() && found->second.lastOk &&
                        !shared_->outdated.count(row.name);
            }
        });
        const std::size_t pending = rows_.size() - done - shared_->outdated.size();
        face_.queueCounted(done, pending + shared_->outdated.size());
        std::vector<std::pair<std::string, std::string>> facts = {
            {"Workspace", settings_.workspaceRoot},
            {"Queue", settings_.queueFile + ": " + std::to_string(rows_.size()) + " rows, " +
                          std::to_string(pending) + " pending, " + std::to_string(done) +
                          " done, " + std::to_string(shared_->outdated.size()) + " outdated"},
            settings_.fixtures.empty() ? std::pair{"Port", portsFact()}
                                       : std::pair{"Fixtures", fixturesFact()},
            {"Log", settings_.logPath}};
        if (!settings_.keyFile.empty())
            facts.emplace_back(
                "Key", settings_.keyFile + " (key " + settings_.key->publicKey().id() + ")");
        if (!settings_.anchorFolder.empty())
            facts.emplace_back("Anchor", settings_.anchorFolder);
        face_.banner(facts);
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
            std::string busyWith = "another station";
            log_->withLock([&] {
                takeInterruptedAttempts();  // a station may have died meanwhile
                seal();
                const auto records = rowRecords(log_->records(), redo_);
                const std::string here = platform::thisHost().host;
                const std::lock_guard<std::mutex> lock(shared_->mutex);
                for (std::size_t i = 0; i < rows_.size() && !next; ++i) {
                    const std::string& name = rows_[i].name;
                    const auto found = records.find(name);
                    if (shared_->letGo.count(name))
                        continue;
                    const bool done = found != records.end() && found->second.lastOk;
                    // Another fixture of this bench has it, claimed or not yet.
                    if (shared_->taken.count(name)) {
                        if (!done && busy.empty()) {
                            busy = name;
                            busyWith = "another fixture";
                        }
                        continue;
                    }
                    if (found == records.end()) {
                        next = i;
                        continue;
                    }
                    const RowRecords& row = found->second;
                    if (!row.lastOk && !row.openStart)
                        next = i;
                    else if (!row.lastOk && busy.empty() &&
                             row.openStart->value("host", "") == here)
                        busy = name;
                }
                if (next)
                    shared_->taken.insert(rows_[*next].name);
            });
            if (next || busy.empty() || interruptions() > 0)
                return next;
            if (busy != awaited)
                face_.step("Waiting for " + busy + ", which " + busyWith + " provisions");
            awaited = busy;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }

    // ---- One converter -------------------------------------------------

    Next provision(std::size_t index) {
        const QueueRow& row = rows_[index];
        face_.rowTaken(row, index);
        face_.step(row.name + " (" + std::to_string(index + 1) + " of " +
                   std::to_string(rows_.size()) + ")" +
                   (row.unit.empty() ? "" : ", unit " + row.unit));
        std::string port = settings_.port;
        std::string device;
        // Each try starts again at step 1: the converter is turned off first.
        for (int failures = 0;; ++failures) {
            face_.step("1 - Turn OFF the Device");
            face_.step("2 - Connect the RS232 cable");
            if (watch_ && failures == 0) {
                const auto found = waitForNewPort(row);
                if (!found)
                    return letGo(row, Answer::Quit);
                std::tie(port, device) = *found;
            } else {
                if (fixture_) {
                    const auto found = waitForFixtureAdapter();
                    if (!found)
                        return letGo(row, Answer::Quit);
                    port = *found;
                }
                const Answer answer = ask(Question::DeviceConnected);
                if (answer != Answer::Go)
                    return letGo(row, answer);
                if (!watch_)
                    device = platform::devicePathForName(port);
            }
            const std::string portWords = portText(port, device);
            face_.portFound(portWords);
            face_.step("3 - " + portWords);
            takePort(port, device, row);
            Json start = startRecord(row, port, device);
            bool claimed = false;
            log_->withLock([&] { claimed = claimRow(*log_, redo_, start); });
            if (!claimed) {
                portClaim_.reset();
                face_.step(row.name + " was taken by another station");
                return Next::Row;
            }
            lastOutputFile_.clear();
            const AttemptEnd end = attempt(row, device, std::move(start));
            portClaim_.reset();
            if (end.next != Next::Row || end.outcome == "ok") {
                if (end.outcome == "ok")
                    disconnect(port, index + 1 == rows_.size());
                return end.next;
            }
            if (end.outcome == "skipped")
                return letGo(row, Answer::Skip);
            if (!lastOutputFile_.empty())
                face_.tellAboutFile(lastOutputFile_, "the updater's output of this attempt");
            Answer answer = Answer::Skip;
            if (settings_.yes)
                answer = failures < settings_.retries ? Answer::Go : Answer::Skip;
            else
                answer = face_.ask(Question::Retry);
            if (answer != Answer::Go) {
                // The failure stays in the log; the operator's choice follows it.
                if (!settings_.yes)
                    recordChoiceAfterFailure(answer == Answer::Quit ? "quit" : "skipped");
                return letGo(row, answer);
            }
        }
    }

    // A result of the operator's own after the failed one: the row was let go.
    void recordChoiceAfterFailure(const std::string& outcome) {
        Json choice = lastResult_;
        choice["outcome"] = outcome;
        choice["exitCode"] = nullptr;
        choice["output"] = "";
        choice["ended"] = isoUtc(utcNowMs());
        log_->withLock([&] {
            log_->append(choice);
            seal();
        });
    }

    Next letGo(const QueueRow& row, Answer answer) {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->letGo.insert(row.name);
        return answer == Answer::Quit ? Next::Quit : Next::Row;
    }

    Answer ask(Question question) { return settings_.yes ? Answer::Go : face_.ask(question); }

    // The unit's serial number, asked again while the log holds it for
    // another project (unless --redo names this row); nothing to quit.
    std::optional<std::string> askUnit(const QueueRow& row) {
        for (;;) {
            const auto unit = face_.askUnit();
            if (!unit)
                return std::nullopt;
            std::string other;
            log_->withLock([&] {
                for (const AuditRecord& record : log_->records()) {
                    const Json& json = record.json;
                    if (json.value("unit", Json()) == *unit && json["project"] != row.name)
                        other = json["project"];
                }
            });
            if (!row.unit.empty() && *unit != row.unit) {
                face_.tell(row.name, "this is the unit " + *unit + ", not " + row.unit +
                                         ", which the queue names for it");
                continue;
            }
            if (other.empty() || settings_.redo == row.name)
                return unit;
            face_.tell(row.name, "the unit " + *unit + " was written as " + other +
                                     "; scan this converter's own serial, or give --redo " +
                                     row.name);
        }
    }

    Json startRecord(const QueueRow& row, const std::string& port, const std::string& device) {
        Json start{{"version", kAuditVersion},
                   {"event", "start"},
                   {"project", row.name},
                   {"row", row.line},
                   {"port", port},
                   {"device", device},
                   {"adapter", adapterJson(platform::serialAdapterFor(port))},
                   {"image", hexBytes(row.image)},
                   {"imageSha256", sha256Hex(row.image)},
                   {"pargenSha256", fileDigest(ProjectPaths(row.folder).generalParameters)},
                   {"options", optionTokens(updaterCommandLine(
                                   port, settings_.options, settings_.workspaceRoot, row.folder))},
                   // What wrote it: a changed updater or master file shows.
                   {"updaterSha256", fileDigest(updaterProgramPath(settings_.workspaceRoot))},
                   {"masterSha256", fileDigest(deviceMasterFilePath(settings_.workspaceRoot))},
                   {"started", isoUtc(utcNowMs())}};
        if (fixture_)
            start["fixture"] = fixture_->label;
        start.update(stationIdentity());
        return start;
    }

    struct AttemptEnd {
        std::string outcome;
        Next next = Next::Row;
    };

    AttemptEnd attempt(const QueueRow& row, const std::string& device, Json record) {
        record["event"] = "result";
        record["exitCode"] = nullptr;
        record["output"] = "";
        waitForInterruptedUpdaters(device);
        // A port given by name is opened, and handed to the updater, as the
        // wizard does; a port that appeared by its path.
        const std::string opened = watch_ ? device : record["port"].get<std::string>();
        if (const auto problem = testOpen(opened, device)) {
            // The fixed text first, as the wizard shows it; then why.
            face_.step(kPortCannotBeOpened);
            face_.step(*problem);
            finish(record, "port-error", *problem);
            return {"port-error"};
        }
        face_.step("4 - Turn ON the Device");
        face_.step("5 - Check the BOOT led. It must blink quickly");
        const Answer answer = ask(Question::BootLedBlinks);
        if (answer != Answer::Go) {
            finish(record, "skipped", "");
            return {"skipped", answer == Answer::Quit ? Next::Quit : Next::Row};
        }
        if (settings_.askUnit) {
            const auto unit = askUnit(row);
            if (!unit) {
                finish(record, "skipped", "");
                return {"skipped", Next::Quit};
            }
            record["unit"] = *unit;
        } else if (!row.unit.empty()) {
            record["unit"] = row.unit;
        }
        std::optional<WrittenImage> image;
        try {
            image = writeImageForUpdater(row.folder, row.name, settings_.lockPause);
            for (const std::string& truncation : image->truncations)
                face_.tell(row.name, truncation);
            record["image"] = hexBytes(image->bytes);
            record["imageSha256"] = sha256Hex(image->bytes);
            record["pargenSha256"] = fileDigest(ProjectPaths(row.folder).generalParameters);
        } catch (const std::exception& e) {
            face_.step(row.name + ": " + e.what());
            finish(record, "failed", e.what());
            return {"failed"};
        }
        return runAttemptUpdater(row, opened, record, image);
    }

    // The project stays locked while the updater reads its image, and is let
    // go when it ends: the hook may write the project.
    AttemptEnd runAttemptUpdater(const QueueRow& row, const std::string& opened, Json& record,
                                 std::optional<WrittenImage>& image) {
        const std::string name = fileNamePart(record["started"].get<std::string>()) + "-" +
                                 std::to_string(platform::currentProcessId()) + "-" +
                                 fileNamePart(row.name) + ".txt";
        const std::string outputFile = log_->outputFolder() + platform::kPathSeparator + name;
        lastOutputFile_ = outputFile;
        face_.attemptOutputFile(outputFile);
        // Beside the log, wherever the log is moved with its folder.
        record["outputFile"] = log_->outputFolderName() + "/" + name;
        WaitSettings wait = settings_.wait;
        wait.outputFile = outputFile;
        // The updater holds the port's claim as long as it runs.
        if (portClaim_)
            wait.heldLock = portClaim_->lockedFile();
        wait.onLaunched = [&](platform::LaunchedProgram& updater) {
            Json started = record;
            started["event"] = "updater";
            started.erase("exitCode");
            started.erase("output");
            started["updaterPid"] = updater.processId();
            started["updaterStarted"] =
                startJson(platform::processOnThisHost(updater.processId()).start);
            log_->withLock([&] { log_->append(started); });
        };
        OutputFollower output(outputFile, kKeptOutputBytes);
        bool toldOfQuitting = false;
        wait.whileWaiting = [&](std::uint32_t elapsedMs) {
            // A piece at a time: a flood of output never sits in memory whole.
            std::string piece = output.readNew(kOutputPiece);
            do {
                face_.updaterRunning(elapsedMs, piece);
            } while (!(piece = output.readNew(kOutputPiece)).empty());
            // Cut off mid-write, a converter may not start again.
            if (interruptions() == 1 && !toldOfQuitting) {
                face_.step("The updater is writing " + row.name +
                           "; it is not stopped. The station quits when it ends (Ctrl-C again: "
                           "quit now, the updater goes on)");
                toldOfQuitting = true;
            }
        };
        wait.giveUp = [&] { return interruptions() >= 2; };
        const RunOutcome outcome =
            runUpdater(settings_.workspaceRoot, opened, settings_.options, row.folder, wait);
        image.reset();
        for (std::string piece; !(piece = output.readNew(kOutputPiece)).empty();)
            face_.updaterOutput(piece);
        face_.updaterEnded();
        if (!outcome.launchError.empty())
            face_.step(outcome.launchError);
        std::string result = "failed";
        if (outcome.kind == RunOutcome::Kind::Ended) {
            record["exitCode"] = outcome.exitCode;
            if (outcome.exitCode == 0)
                result = "ok";
        } else if (outcome.kind == RunOutcome::Kind::StillRunning) {
            result = "timeout";
        } else if (outcome.kind == RunOutcome::Kind::LeftRunning) {
            result = "interrupted";
        }
        face_.step(outcomeText(outcome));
        const std::string kept = withInvalidBytesReplaced(output.tail());
        finish(record, result, kept.empty() ? outcome.launchError : kept);
        face_.verdict(result == "ok");
        if (result == "timeout" || result == "interrupted") {
            face_.tell(record["port"],
                       "the updater still runs and holds the port: the station stops");
            return {result, Next::Stop};
        }
        return {result, interruptions() > 0 ? Next::Quit : Next::Row};
    }

    // The result record, then the hook: a hook that hangs or fails cannot
    // keep the result from the log.
    void finish(Json& record, const std::string& outcome, const std::string& output) {
        record["outcome"] = outcome;
        record["ended"] = isoUtc(utcNowMs());
        record["output"] = output;
        log_->withLock([&] {
            log_->append(record);
            seal();
        });
        face_.attemptEnded(outcome);
        // Held until the result is in: a start whose device nobody claims
        // counts as an attempt of a station that died.
        portClaim_.reset();
        lastResult_ = record;
        if (!settings_.onResult.empty())
            runHook(record);
    }

    void runHook(const Json& result) {
        Json hook{{"version", kAuditVersion},
                  {"event", "hook"},
                  {"project", result["project"]},
                  {"row", result["row"]},
                  {"started", isoUtc(utcNowMs())}};
        hook.update(stationIdentity());
        const std::string exitCode =
            result["exitCode"].is_null() ? "" : std::to_string(result["exitCode"].get<int>());
        const platform::ShellCommandEnd end =
            platform::runShellCommand(settings_.onResult,
                                      {{"TARVEL_PROJECT", result["project"]},
                                       {"TARVEL_PORT", result["port"]},
                                       {"TARVEL_OUTCOME", result["outcome"]},
                                       {"TARVEL_EXIT_CODE", exitCode},
                                       {"TARVEL_IMAGE", result["image"]}},
                                      settings_.onResultTimeoutMs);
        hook["ended"] = isoUtc(utcNowMs());
        hook["exitCode"] = end.exitCode ? Json(*end.exitCode) : Json(nullptr);
        hook["timedOut"] = end.timedOut;
        if (end.timedOut)
            face_.tell(result["project"], "the --on-result command was ended after " +
                                              std::to_string(settings_.onResultTimeoutMs / 1000) +
                                              " s");
        log_->withLock([&] {
            log_->append(hook);
            seal();
        });
    }

    // ---- Ports ---------------------------------------------------------

    // Claims the device before anything is recorded of it: while another
    // station, or the updater of one, has it, this one waits and says who.
    static std::string holderOf(const QueueRow& row) {
        return "the station of " + platform::currentUserName() + " (pid " +
               std::to_string(platform::currentProcessId()) + ") for " + row.name;
    }

    void takePort(const std::string& port, const std::string& device, const QueueRow& row) {
        if (portClaim_)  // claimed as it appeared
            return;
        std::string toldOf;
        for (;;) {
            platform::PortClaimAttempt attempt =
                platform::claimPort(settings_.claimFolder, device, holderOf(row));
            if (attempt.claim) {
                portClaim_ = std::move(attempt.claim);
                return;
            }
            if (attempt.heldBy.empty()) {
                // No claim can be made here: the station goes on without one.
                face_.tell(port, "cannot claim the port: " + attempt.reason);
                return;
            }
            if (attempt.heldBy != toldOf)
                face_.step(port + " (" + device + ") is in use by " + attempt.heldBy);
            toldOf = attempt.heldBy;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }

    // Why the port cannot be opened, in words; nothing once it could.
    std::optional<std::string> testOpen(const std::string& port, const std::string& device) {
        const auto deadline = std::chrono::steady_clock::now() + kPortSettleTime;
        for (;;) {
            try {
                testPort(settings_.serial, port);
                return std::nullopt;
            } catch (const ECommError& e) {
                // A new adapter's device may not let us in at once.
                if (!watch_ || std::chrono::steady_clock::now() >= deadline) {
                    const bool gone = e.ErrorCode == platform::kErrorFileNotFound ||
                                      e.ErrorCode == platform::kErrorPathNotFound;
                    return portErrorInWords(port, device, e) +
                           (gone ? "; ports here: " + portsHere() : "");
                }
            }
            std::this_thread::sleep_for(kRetryPause);
        }
    }

    void waitForInterruptedUpdaters(const std::string& device) {
        std::vector<Json> runningUpdaters;
        {
            const std::lock_guard<std::mutex> lock(shared_->mutex);
            runningUpdaters = shared_->runningUpdaters;
        }
        for (const Json& updater : runningUpdaters) {
            if (updater.value("device", "") != device || !updaterRuns(updater))
                continue;
            face_.step("The updater (process " + std::to_string(updater.value("updaterPid", 0UL)) +
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
    // A port that was not there before and that no other station has
    // claimed; names that went away are forgotten, so that an adapter
    // plugged in again counts as new.
    // Nothing when the operator quits meanwhile.
    std::optional<std::pair<std::string, std::string>> waitForNewPort(const QueueRow& row) {
        face_.step("Waiting for a new port… (q quits)");
        for (;;) {
            const auto ports = watch_->ports();
            for (auto known = knownPorts_.begin(); known != knownPorts_.end();)
                known = ports.count(*known) ? std::next(known) : knownPorts_.erase(known);
            for (const auto& [name, path] : ports) {
                if (!knownPorts_.insert(name).second)
                    continue;
                platform::PortClaimAttempt attempt =
                    platform::claimPort(settings_.claimFolder, path, holderOf(row));
                if (!attempt.heldBy.empty()) {
                    face_.step("New port " + name + " is in use by " + attempt.heldBy +
                               "; waiting for another");
                    continue;
                }
                portClaim_ = std::move(attempt.claim);
                face_.step("New port " + name);
                return std::pair{name, path};
            }
            if (face_.quitWhileWaiting())
                return std::nullopt;
            watch_->waitForChange(kLookForQuit);
        }
    }

    // The port the fixture's adapter is on; while it is absent, the station
    // says so once and waits for it. Nothing when the operator quits, or
    // when no row is left for the fixture to write.
    std::optional<std::string> waitForFixtureAdapter() {
        bool told = false;
        for (;;) {
            if (const auto port = fixturePort(*fixture_))
                return port;
            if (!told) {
                face_.step("No adapter for " + fixture_->label + " (" + pinText(*fixture_) +
                           "); waiting for it");
                face_.adapterAbsent();
                told = true;
            }
            if (interruptions() > 0 || !rowLeft())
                return std::nullopt;
            if (!fixtureWatch_)
                fixtureWatch_ = std::make_unique<platform::PortWatch>(settings_.deviceRoot);
            fixtureWatch_->waitForChange(kLookForQuit);
        }
    }

    // The port of the fixture's adapter now. A port pinned by name is
    // tried; one pinned by its adapter is found without opening any port.
    std::optional<std::string> fixturePort(const Fixture& fixture) const {
        if (!fixture.port.empty()) {
            if (portPresent(*settings_.serial, fixture.port))
                return fixture.port;
            return std::nullopt;
        }
        for (const auto& [port, adapter] :
             platform::serialAdapters(settings_.systemRoot, settings_.deviceRoot)) {
            if ((!fixture.usbPath.empty() && adapter.usbPath == fixture.usbPath) ||
                (!fixture.serial.empty() && adapter.serial == fixture.serial))
                return port;
        }
        return std::nullopt;
    }

    void disconnect(const std::string& port, bool lastRow) {
        face_.step("Disconnect the converter");
        if (!watch_ || lastRow)
            return;
        while (watch_->ports().count(port)) watch_->waitForChange(1000);
        knownPorts_.erase(port);
    }

    const StationSettings& settings_;
    const std::vector<QueueRow>& rows_;
    StationFace& face_;
    std::unique_ptr<platform::PortWatch> watch_;
    std::unique_ptr<platform::PortClaim> portClaim_;
    std::set<std::string> knownPorts_;
    std::shared_ptr<SharedQueue> shared_;
    // Settled before the first converter, then only read.
    Redo& redo_;
    const Fixture* fixture_;
    std::unique_ptr<platform::PortWatch> fixtureWatch_;
    std::unique_ptr<AuditLog> log_;
    // The last attempt's result, and its updater's output file when it ran.
    Json lastResult_;
    std::string lastOutputFile_;
};

}  // namespace

std::string pinText(const Fixture& fixture) {
    if (!fixture.port.empty())
        return fixture.port;
    return fixture.usbPath.empty() ? "serial " + fixture.serial : "usbPath " + fixture.usbPath;
}

int runStation(const StationSettings& settings, const std::vector<QueueRow>& rows,
               StationFace& face,
               const std::function<StationFace&(std::size_t fixture)>& fixtureFace) {
    if (settings.fixtures.empty())
        return Station(settings, rows, face).run();
    const auto shared = std::make_shared<SharedQueue>();
    Station bench(settings, rows, face, shared);
    if (!bench.prepare())
        return 1;
    // Each fixture reads and writes the log through its own handle, whose
    // lock keeps it from the others as from another station's.
    std::vector<std::thread> fixtures;
    std::exception_ptr failure;
    std::mutex failureMutex;
    for (std::size_t i = 0; i < settings.fixtures.size(); ++i) {
        fixtures.emplace_back([&, i] {
            try {
                Station(settings, rows, fixtureFace(i), shared, &settings.fixtures[i])
                    .provisionRows();
            } catch (...) {
                shared->stopping = true;
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
            }
        });
    }
    for (std::thread& fixture : fixtures) fixture.join();
    if (failure)
        std::rethrow_exception(failure);
    return bench.summarize();
}
