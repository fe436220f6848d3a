#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileLock.h"
#include "platform/SerialApi.h"
#include "station/Signing.h"
#include "update/UpdaterCommandLine.h"
#include "update/UpdaterLauncher.h"

// A queue of converters provisioned one after another, each attempt
// recorded in the audit log and resumed where it stopped. The engine knows
// no console and no window: it tells a face what happens and asks it for
// the operator's answers.

// A row of the queue once applied: its line, project, folder and image.
struct QueueRow {
    std::size_t line;
    std::string name;
    std::string folder;
    std::string image;
    // The unit the row is meant for, when the queue names one.
    std::string unit = {};
};

enum class Answer { Go, Skip, Quit };

// A row as the log leaves it: done, done with an image other than the
// queue's now (outdated), or still to do.
enum class RowState { Done, Outdated, Pending };

// What the operator is asked, after the steps that lead to it.
enum class Question {
    DeviceConnected,  // after "1 - Turn OFF the Device", "2 - Connect the RS232 cable"
    BootLedBlinks,    // after "4 - Turn ON the Device", "5 - Check the BOOT led…"
    Retry,            // after a FAIL
};

// A notice about a project or a port, or about a file (its path whole):
// what applying a queue says, and a station too.
class QueueNotices {
  public:
    virtual ~QueueNotices() = default;
    virtual void tell(const std::string& subject, const std::string& message) = 0;
    virtual void tellAboutFile(const std::string& path, const std::string& message) = 0;
};

// How the station meets the operator: a console or a window.
class StationFace : public QueueNotices {
  public:
    // A step as the wizard words it, or what the station does next.
    virtual void step(const std::string& text) = 0;
    virtual Answer ask(Question question) = 0;
    // The serial number of the unit about to be written (typed, or scanned
    // by a bar-code reader); nothing when the operator quits.
    virtual std::optional<std::string> askUnit() = 0;
    // While the station waits for a port: true once the operator has asked
    // to quit. It never blocks.
    virtual bool quitWhileWaiting() = 0;
    // While the updater runs: the time waited, and what it wrote since (a
    // piece of it: a long output comes in several calls).
    virtual void updaterRunning(std::uint32_t elapsedMs, const std::string& newOutput) = 0;
    // Once it ended: the rest of what it wrote, a piece a call; then its end.
    virtual void updaterOutput(const std::string& lastOutput) = 0;
    virtual void updaterEnded() = 0;
    virtual void verdict(bool passed) = 0;
    // Before the first converter: what the station works with, as labels
    // and values (workspace, queue, port, log, key, anchor).
    virtual void banner(const std::vector<std::pair<std::string, std::string>>& facts) = 0;
    // At the end, each row as the log leaves it.
    virtual void rowOutcome(const std::string& project, RowState state) = 0;
    // For a face that follows rows apart from the steps' words: the queue's
    // counts before the first converter; the row taken up (index in the
    // queue); a fixture's adapter absent, or the port an attempt is on
    // (as step 3 words it); each attempt's outcome as the log records it.
    virtual void queueCounted(std::size_t /*done*/, std::size_t /*pending*/) {}
    virtual void rowTaken(const QueueRow&, std::size_t /*index*/) {}
    virtual void adapterAbsent() {}
    virtual void portFound(const std::string& /*portText*/) {}
    virtual void attemptEnded(const std::string& /*outcome*/) {}
    // The file an attempt's updater writes its output to, as it starts.
    virtual void attemptOutputFile(const std::string& /*path*/) {}
};

// A fixture of a bench: its label, and the one thing that pins it to its
// adapter: a port name, the adapter's place on the bus (as ports --json
// gives it), or its serial number. The others are empty.
struct Fixture {
    std::string label;
    std::string port;
    std::string usbPath;
    std::string serial;
};

// What pins a fixture to its adapter: "COM1", "usbPath 1-1.2" or "serial FT1".
std::string pinText(const Fixture& fixture);

struct StationSettings {
    std::string workspaceRoot;
    std::shared_ptr<platform::SerialApi> serial;
    std::string logPath;
    // The port every converter is on; or, when empty, the folder where a new
    // adapter is awaited for each converter.
    std::string port;
    std::string watchFolder;
    // A bench: each fixture is a station of its own, all at once on one log
    // (port and watchFolder are then unused). Adapters are looked up below
    // these folders (tests give their own).
    std::vector<Fixture> fixtures;
    std::string systemRoot = "/sys";
    std::string deviceRoot = "/dev";
    UpdateOptions options;
    // Every question answered Go, and a FAIL retried so many times.
    bool yes = false;
    // Each unit's serial number asked after its BOOT led blinks.
    bool askUnit = false;
    int retries = 0;
    // A shell command run after each result is recorded, ended after its
    // time limit; and a project to write again.
    std::string onResult;
    unsigned onResultTimeoutMs = 60000;
    std::string redo;
    // Every row done with another image than the queue's is written again.
    bool redoOutdated = false;
    // The queue's file, for the banner.
    std::string queueFile;
    std::string keyFile;
    WaitSettings wait;
    // How often the operator has interrupted the station (Ctrl-C one, a
    // hang-up two): once, it quits when the running updater has ended;
    // twice, at once, the updater left running.
    std::function<int()> interruptions;
    platform::LockPause lockPause;
    // Where the stations of this host claim their devices.
    std::string claimFolder;
    // Signs the log with checkpoints; each is also kept in the anchor folder.
    std::optional<SecretKey> key;
    std::string anchorFolder;
};

// Provisions the rows; 0 when none is pending or outdated at the end, 1
// otherwise. A bench's fixtures work each in a thread of its own and meet
// the operator through fixtureFace (by the fixture's index), face telling
// what concerns the whole bench. Before the first converter it checks what every converter
// needs (the updater, the master file, the port, each row's parameter
// document) and, when one is missing, says so and returns 1 with the log
// untouched. Raises LogError when the log cannot be used.
int runStation(const StationSettings& settings, const std::vector<QueueRow>& rows,
               StationFace& face,
               const std::function<StationFace&(std::size_t fixture)>& fixtureFace = {});
