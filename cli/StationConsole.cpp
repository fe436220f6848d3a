// station: the provisioning station on the console. The engine lives in
// station/; this is the operator's side of it: the prompts, the updater's
// echo, the colours and the bells. Its options are read in StationOptions.

#include "cli/BenchConsole.h"
#include "cli/Cli.h"
#include "cli/StationOptions.h"
#include "common/Utf8.h"
#include "station/AuditLog.h"
#include "station/Station.h"

namespace {

// The longest line of the updater held back until its end comes.
constexpr std::size_t kLongestHeldLine = 65536;

// The station on standard error and input: steps as lines, questions as
// prompts answered by Enter, s or q; on a terminal, the updater's seconds
// and a coloured verdict with bells.
class ConsoleFace final : public StationFace {
  public:
    // A bench's own words (its banner, its summary) come before and after
    // its fixtures' table.
    explicit ConsoleFace(Cli& cli, BenchConsole* bench = nullptr)
        : cli_(cli), terminal_(cli.environment.progressOnTerminal), bench_(bench) {}

    void step(const std::string& text) override {
        leaveBenchTable();
        cli_.err << text << '\n' << std::flush;
    }
    void tell(const std::string& subject, const std::string& message) override {
        leaveBenchTable();
        cli_.tell(subject, message);
    }
    void tellAboutFile(const std::string& path, const std::string& message) override {
        leaveBenchTable();
        cli_.tellAboutFile(path, message);
    }
    void queueCounted(std::size_t done, std::size_t pending) override {
        if (bench_)
            bench_->queueCounted(done, pending);
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
        if (cli_.environment.colour)
            cli_.err << (passed ? "\x1b[1;32m" : "\x1b[1;31m") << word << "\x1b[0m";
        else
            cli_.err << word;
        cli_.err << (passed ? "\a" : "\a\a\a") << '\n' << std::flush;
    }

    void banner(const std::vector<std::pair<std::string, std::string>>& facts) override {
        for (const auto& [label, value] : facts)
            cli_.err << label << std::string(label.size() < 10 ? 10 - label.size() : 1, ' ')
                     << value << '\n';
        cli_.err << std::flush;
    }

    void rowOutcome(const std::string& project, RowState state) override {
        leaveBenchTable();
        const char* word = state == RowState::Done       ? "ok       "
                           : state == RowState::Outdated ? "outdated "
                                                         : "pending  ";
        cli_.out << word << project << '\n';
    }

  private:
    void leaveBenchTable() {
        if (bench_)
            bench_->leaveTable();
    }

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
    BenchConsole* bench_;
    std::string pending_;
};

}  // namespace

int stationCommand(Cli& cli) {
    const std::string queueFile = cli.arguments.operands(1).front();
    StationSettings settings = readStationSettings(cli, queueFile);
    const BenchOptions benchOptions = readBenchOptions(cli);
    const auto rows = applyQueue(cli, queueFile);
    if (!rows)
        return 1;
    settings.workspaceRoot = cli.workspace.root;
    // Ctrl-C no longer ends the station in the middle of a converter.
    if (cli.environment.watchInterruptions)
        cli.environment.watchInterruptions();
    settings.interruptions = cli.environment.interruptions;
    try {
        if (settings.fixtures.empty()) {
            ConsoleFace face(cli);
            return runStation(settings, *rows, face);
        }
        BenchConsole bench(cli, settings.fixtures, benchOptions.eventsFile,
                           cli.environment.tableOnTerminal && !benchOptions.plainLines,
                           settings.yes);
        settings.interruptions = [&bench] { return bench.interruptions(); };
        ConsoleFace face(cli, &bench);
        return runStation(settings, *rows, face, [&bench](std::size_t fixture) -> StationFace& {
            return bench.face(fixture);
        });
    } catch (const LogError& e) {
        throw CliError::aboutFile(e.path, e.what());
    }
}
