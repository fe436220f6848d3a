// station: the provisioning station on the console. The engine lives in
// station/; this is the operator's side of it: the options, the prompts, the
// updater's echo, the colours and the bells.
#include <algorithm>

#include "cli/Cli.h"
#include "common/IntegerText.h"
#include "common/Utf8.h"
#include "platform/FileSystem.h"
#include "station/AuditLog.h"
#include "station/Station.h"

namespace {

constexpr const char* kDefaultWatchFolder = "/dev/serial/by-id";
// The longest line of the updater held back until its end comes.
constexpr std::size_t kLongestHeldLine = 65536;

StationSettings readSettings(Cli& cli, const std::string& queueFile) {
    const Arguments& arguments = cli.arguments;
    if (cli.json())
        arguments.refuse("station takes no --json: its record is the audit log");
    StationSettings settings;
    settings.port = arguments.option("--port").value_or("");
    const bool waitPort = arguments.flag("--wait-port");
    if (waitPort == !settings.port.empty())
        arguments.refuse("give either --port or --wait-port");
    if (arguments.option("--watch") && !waitPort)
        arguments.refuse("--watch goes with --wait-port");
    settings.watchFolder = arguments.option("--watch").value_or(kDefaultWatchFolder);
    settings.options.firmware = !arguments.flag("--no-firmware");
    settings.options.readFirmware = !arguments.flag("--no-read-firmware");
    settings.options.project = !arguments.flag("--no-project");
    settings.options.readProject = !arguments.flag("--no-read-project");
    settings.yes = arguments.flag("--yes");
    if (const auto unit = arguments.option("--unit")) {
        if (*unit != "ask")
            arguments.refuse("--unit takes ask");
        if (settings.yes)
            arguments.refuse("--unit ask needs an operator: it goes without --yes");
        settings.askUnit = true;
    }
    if (const auto retries = arguments.option("--retries")) {
        const auto count = tryParseInteger(*retries);
        if (!count || *count < 0 || *count > 1000)
            arguments.refuse("--retries takes a number from 0 to 1000");
        settings.retries = static_cast<int>(*count);
    }
    settings.onResult = arguments.option("--on-result").value_or("");
    if (const auto limit = arguments.option("--on-result-timeout")) {
        const auto seconds = tryParseInteger(*limit);
        if (!seconds || *seconds < 1 || *seconds > 86400)
            arguments.refuse("--on-result-timeout takes a number of seconds from 1 to 86400");
        if (settings.onResult.empty())
            arguments.refuse("--on-result-timeout goes with --on-result");
        settings.onResultTimeoutMs = static_cast<unsigned>(*seconds) * 1000;
    }
    settings.redo = arguments.option("--redo").value_or("");
    settings.redoOutdated = arguments.flag("--redo-outdated");
    settings.queueFile = queueFile;
    const bool csv =
        queueFile.size() > 4 && queueFile.compare(queueFile.size() - 4, 4, ".csv") == 0;
    const std::string stem = csv ? queueFile.substr(0, queueFile.size() - 4) : queueFile;
    settings.logPath = arguments.option("--log").value_or(stem + ".audit.jsonl");
    if (queueFile == "-" && !arguments.option("--log"))
        arguments.refuse("a queue from standard input needs --log");
    if (const auto key = arguments.option("--key")) {
        try {
            settings.key = readSecretKey(*key);
            settings.keyFile = *key;
        } catch (const AppError& e) {
            throw CliError::aboutFile(*key, e.what());
        }
    }
    settings.anchorFolder = arguments.option("--anchor").value_or("");
    if (!settings.anchorFolder.empty() && !settings.key)
        arguments.refuse("--anchor goes with --key");
    if (!settings.anchorFolder.empty() && !platform::folderExists(settings.anchorFolder))
        throw CliError::aboutFile(settings.anchorFolder, "no such folder for the anchor");
    // Two benches on two hosts could both claim a row where a network file
    // system does not pass the log's lock on.
    const std::string logFolder = platform::parentFolder(settings.logPath).value_or(".");
    if (const auto network = platform::networkFileSystem(logFolder)) {
        if (!arguments.flag("--shared-log"))
            throw CliError::aboutFile(settings.logPath,
                                      "the log is on " + *network +
                                          ", where locks may not hold across hosts: keep one log "
                                          "per bench on a local disk, or give --shared-log");
        cli.tellAboutFile(settings.logPath,
                          "the log is on " + *network + ": locks there may not hold across hosts");
    }
    settings.serial = cli.environment.serial;
    settings.wait = cli.environment.wait;
    settings.lockPause = cli.environment.lockPause;
    settings.claimFolder = cli.environment.claimFolder;
    return settings;
}

// The station on standard error and input: steps as lines, questions as
// prompts answered by Enter, s or q; on a terminal, the updater's seconds
// and a coloured verdict with bells.
class ConsoleFace final : public StationFace {
  public:
    explicit ConsoleFace(Cli& cli) : cli_(cli), terminal_(cli.environment.progressOnTerminal) {}

    void step(const std::string& text) override { cli_.err << text << '\n' << std::flush; }
    void tell(const std::string& subject, const std::string& message) override {
        cli_.tell(subject, message);
    }
    void tellAboutFile(const std::string& path, const std::string& message) override {
        cli_.tellAboutFile(path, message);
    }

    Answer ask(Question question) override {
        discardTypedAhead();
        for (;;) {
            cli_.err << promptFor(question) << std::flush;
            const auto line = readAnswer();
            if (!line)
                return Answer::Quit;
            if (line->empty())
                return Answer::Go;
            if (*line == "s" || *line == "S")
                return Answer::Skip;
            if (*line == "q" || *line == "Q")
                return Answer::Quit;
            cli_.err << *line << ": Enter " << (question == Question::Retry ? "retries" : "goes on")
                     << ", s skips, q quits\n";
        }
    }

    bool quitWhileWaiting() override {
        if (!cli_.environment.typedLineWaiting || !cli_.environment.typedLineWaiting())
            return false;
        const auto line = readAnswer();
        if (!line || *line == "q" || *line == "Q")
            return true;
        cli_.err << *line << ": only q is taken while the station waits for a port\n";
        return false;
    }

    std::optional<std::string> askUnit() override {
        discardTypedAhead();
        for (;;) {
            cli_.err << "Unit serial: " << std::flush;
            const auto line = readAnswer();
            if (!line || *line == "q" || *line == "Q")
                return std::nullopt;
            if (!line->empty())
                return line;
        }
    }

    void updaterRunning(std::uint32_t elapsedMs, const std::string& newOutput) override {
        if (terminal_)
            cli_.err << "\r\x1b[K";
        echo(newOutput, false);
        if (terminal_)
            cli_.err << runningText(elapsedMs);
        cli_.err << std::flush;
    }

    void updaterOutput(const std::string& lastOutput) override { echo(lastOutput, false); }

    void updaterEnded() override {
        if (terminal_)
            cli_.err << "\r\x1b[K";
        echo("", true);
    }

    void verdict(bool passed) override {
        const std::string word = passed ? "PASS" : "FAIL";
        if (!terminal_) {
            step(word);
            return;
        }
        cli_.err << (passed ? "\x1b[1;32m" : "\x1b[1;31m") << word << "\x1b[0m"
                 << (passed ? "\a" : "\a\a\a") << '\n'
                 << std::flush;
    }

    void banner(const std::vector<std::pair<std::string, std::string>>& facts) override {
        for (const auto& [label, value] : facts)
            cli_.err << label << std::string(label.size() < 10 ? 10 - label.size() : 1, ' ')
                     << value << '\n';
        cli_.err << std::flush;
    }

    void rowOutcome(const std::string& project, RowState state) override {
        const char* word = state == RowState::Done       ? "ok       "
                           : state == RowState::Outdated ? "outdated "
                                                         : "pending  ";
        cli_.out << word << project << '\n';
    }

  private:
    // A key pressed while the station worked answers no prompt.
    void discardTypedAhead() {
        if (cli_.environment.discardTypedAhead)
            cli_.environment.discardTypedAhead();
    }

    // The next line typed, without its line break; nothing at the end of input.
    std::optional<std::string> readAnswer() {
        std::string line;
        if (!cli_.environment.input || !std::getline(*cli_.environment.input, line)) {
            cli_.err << '\n';
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

    static const char* promptFor(Question question) {
        switch (question) {
            case Question::DeviceConnected:
                return "Enter when done; s skips, q quits: ";
            case Question::BootLedBlinks:
                return "Enter when it blinks; s skips, q quits: ";
            case Question::Retry:
                break;
        }
        return "Enter retries; s skips, q quits: ";
    }

    // Whole lines only while the updater runs; the rest at its end.
    // Whole lines, held back until their end comes; a line longer than a
    // piece is shown as it comes, so that nothing grows without bound.
    void echo(const std::string& output, bool all) {
        pending_ += output;
        const std::size_t lastBreak = pending_.rfind('\n');
        const std::size_t end = all || pending_.size() > kLongestHeldLine ? pending_.size()
                                : lastBreak == std::string::npos          ? 0
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
    const bool terminal_;
    std::string pending_;
};

}  // namespace

int stationCommand(Cli& cli) {
    const std::string queueFile = cli.arguments.operands(1).front();
    StationSettings settings = readSettings(cli, queueFile);
    const auto rows = applyQueue(cli, queueFile);
    if (!rows)
        return 1;
    settings.workspaceRoot = cli.workspace.root;
    // Ctrl-C no longer ends the station in the middle of a converter.
    if (cli.environment.watchInterruptions)
        cli.environment.watchInterruptions();
    settings.interruptions = cli.environment.interruptions;
    ConsoleFace face(cli);
    try {
        return runStation(settings, *rows, face);
    } catch (const LogError& e) {
        throw CliError::aboutFile(e.path, e.what());
    }
}
