#include "cli/BenchConsole.h"

#include <algorithm>

#include "cli/Cli.h"
#include "common/Json.h"
#include "common/UtcTime.h"
#include "update/UpdaterLauncher.h"

namespace {

constexpr std::size_t kUnknownColumns = 80;
constexpr auto kLeastRedrawPause = std::chrono::milliseconds(100);

// The step an event gives: a running updater's seconds are no change of state.
std::string eventStep(const FixtureView& view) {
    return view.state == FixtureView::State::Running ? "Updater running" : view.step;
}

bool sameEvent(const FixtureView& a, const FixtureView& b) {
    return a.project == b.project && a.outcome == b.outcome && a.state == b.state &&
           eventStep(a) == eventStep(b);
}

}  // namespace

// One fixture's face: what the engine tells it becomes the fixture's view.
class BenchConsole::Face final : public StationFace {
  public:
    Face(BenchConsole& console, std::size_t index) : console_(console), index_(index) {}

    void step(const std::string& text) override {
        console_.change(
            index_,
            [&](FixtureView& view) {
                view.step = text;
                // The last outcome shows until the next row, or the next run.
                if (view.state == FixtureView::State::NoAdapter)
                    view.state = FixtureView::State::Idle;
            },
            text);
    }
    void tell(const std::string& subject, const std::string& message) override {
        console_.say(label() + ": " + subject + ": " + message);
    }
    void tellAboutFile(const std::string& path, const std::string& message) override {
        console_.say(label() + ": " + path + ": " + message);
    }

    Answer ask(Question question) override {
        const std::string number = std::to_string(index_ + 1);
        const std::string what = question == Question::DeviceConnected ? " when done"
                                 : question == Question::BootLedBlinks ? " when it blinks"
                                                                       : " to retry";
        console_.change(
            index_, [](FixtureView& view) { view.state = FixtureView::State::Asking; },
            "answer " + number + what + " (" + number + "s skips, q quits)");
        const Answer answer = console_.answers_.await(index_);
        console_.change(index_, [](FixtureView& view) {
            if (view.state == FixtureView::State::Asking)
                view.state = FixtureView::State::Idle;
        });
        return answer;
    }
    // A bench asks no unit: its options refuse --unit ask.
    std::optional<std::string> askUnit() override { return std::nullopt; }
    bool quitWhileWaiting() override { return console_.interruptions() > 0; }

    void updaterRunning(std::uint32_t elapsedMs, const std::string&) override {
        const bool first = !running_;
        running_ = true;
        console_.change(
            index_,
            [&](FixtureView& view) {
                view.state = FixtureView::State::Running;
                view.step = runningText(elapsedMs);
            },
            first ? std::optional<std::string>("Updater running\u2026") : std::nullopt);
    }
    // The output stays in its file, which a FAIL names: eight updaters at
    // once would be unreadable on one screen.
    void updaterOutput(const std::string&) override {}
    void updaterEnded() override {
        running_ = false;
        console_.change(index_, [](FixtureView& view) { view.state = FixtureView::State::Idle; });
    }
    void verdict(bool passed) override {
        console_.change(
            index_, [](FixtureView&) {}, passed ? "PASS" : "FAIL");
    }
    void banner(const std::vector<std::pair<std::string, std::string>>&) override {}
    void rowOutcome(const std::string&, RowState) override {}

    void rowTaken(const QueueRow& row, std::size_t) override {
        console_.change(index_, [&](FixtureView& view) {
            view.project = row.name + (row.unit.empty() ? "" : " (" + row.unit + ")");
            view.step.clear();
            view.outcome.clear();
            view.state = FixtureView::State::Idle;
            console_.rows_[index_] = row.line;
        });
    }
    void adapterAbsent() override {
        console_.change(index_,
                        [](FixtureView& view) { view.state = FixtureView::State::NoAdapter; });
    }
    void portFound(const std::string& portText) override {
        console_.change(index_, [&](FixtureView& view) { view.port = portText; });
    }
    void attemptEnded(const std::string& outcome) override {
        console_.change(index_, [&](FixtureView& view) {
            view.outcome = outcome;
            view.last = outcome;
            view.state = outcome == "ok"        ? FixtureView::State::Passed
                         : outcome == "skipped" ? FixtureView::State::Idle
                                                : FixtureView::State::Failed;
            console_.progress_.ended(outcome, BenchProgress::Clock::now());
        });
    }

  private:
    const std::string& label() const { return console_.views_[index_].label; }

    BenchConsole& console_;
    const std::size_t index_;
    bool running_ = false;
};

BenchConsole::BenchConsole(Cli& cli, const std::vector<Fixture>& fixtures,
                           const std::string& eventsFile, bool table, bool answeredByItself)
    : cli_(cli),
      table_(table),
      answeredByItself_(answeredByItself),
      eventsFile_(eventsFile),
      rows_(fixtures.size(), 0),
      answers_(
          fixtures.size(), !answeredByItself,
          [this]() -> std::optional<std::string> {
              std::string line;
              if (!cli_.environment.input || !std::getline(*cli_.environment.input, line))
                  return std::nullopt;
              if (!line.empty() && line.back() == '\r')
                  line.pop_back();
              return line;
          },
          cli.environment.discardTypedAhead, [this](const std::string& text) { say(text); }) {
    if (!eventsFile.empty()) {
        std::string reason;
        events_ = platform::AppendFile::open(eventsFile, reason);
        if (!events_)
            throw CliError::aboutFile(eventsFile, "cannot open the events file: " + reason);
    }
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        FixtureView view;
        view.label = fixtures[i].label;
        view.port = pinText(fixtures[i]);  // until its adapter is found
        views_.push_back(view);
        faces_.push_back(std::make_unique<Face>(*this, i));
    }
    recorded_ = views_;
    if (table_)
        painter_ = std::thread([this] { redrawWhileRunning(); });
}

BenchConsole::~BenchConsole() {
    stopDrawing();
}

void BenchConsole::leaveTable() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (drawnLines_ == 0 && !dirty_)
            return;  // not drawn yet: the fixtures have not started
    }
    stopDrawing();
}

void BenchConsole::stopDrawing() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        stopping_ = true;
    }
    changed_.notify_all();
    if (painter_.joinable())
        painter_.join();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (table_ && (drawnLines_ > 0 || dirty_)) {
        draw();
        cli_.err << '\n' << std::flush;
        drawnLines_ = 0;  // what follows goes below it
    }
}

StationFace& BenchConsole::face(std::size_t fixture) {
    return *faces_[fixture];
}

int BenchConsole::interruptions() {
    const int interrupted = cli_.environment.interruptions ? cli_.environment.interruptions() : 0;
    // With --yes no prompt reads the input: a q is read from a pipe as from
    // a terminal. Otherwise a piped line waits for the prompt it answers.
    const bool quit = answers_.quitting(answeredByItself_ ? cli_.environment.inputWaiting
                                                          : cli_.environment.typedLineWaiting);
    return std::max(interrupted, quit ? 1 : 0);
}

void BenchConsole::queueCounted(std::size_t done, std::size_t pending) {
    const std::lock_guard<std::mutex> lock(mutex_);
    progress_.counted(done, pending, BenchProgress::Clock::now());
}

void BenchConsole::change(std::size_t fixture, const std::function<void(FixtureView&)>& edit,
                          const std::optional<std::string>& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const FixtureView before = views_[fixture];
    edit(views_[fixture]);
    if (!sameEvent(views_[fixture], recorded_[fixture]))
        event(fixture);
    if (!table_) {
        if (line)
            cli_.err << views_[fixture].label << ": " << *line << '\n' << std::flush;
        return;
    }
    if (!(views_[fixture] == before)) {
        dirty_ = true;
        changed_.notify_all();
    }
}

void BenchConsole::say(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!table_ || drawnLines_ == 0) {
        cli_.err << text << '\n' << std::flush;
        return;
    }
    // The message where the table was, the table below it.
    cli_.err << erasure() << text << '\n';
    drawnLines_ = 0;
    draw();
}

void BenchConsole::event(std::size_t fixture) {
    const FixtureView& view = views_[fixture];
    recorded_[fixture] = view;
    if (!events_)
        return;
    const Json line = {{"time", isoUtc(utcNowMs())},
                       {"fixture", view.label},
                       {"row", rows_[fixture] ? Json(rows_[fixture]) : Json()},
                       {"project", view.project.empty() ? Json() : Json(view.project)},
                       {"step", eventStep(view)},
                       {"state", stateWords(view.state)},
                       {"outcome", view.outcome.empty() ? Json() : Json(view.outcome)}};
    std::string reason;
    if (!events_->append(line.dump() + "\n", reason)) {
        cli_.tellAboutFile(eventsFile_, "cannot add an event: " + reason);
        events_.reset();
    }
}

void BenchConsole::draw() {
    const std::size_t reported =
        cli_.environment.terminalColumns ? cli_.environment.terminalColumns() : 0;
    const std::size_t columns = reported ? reported : kUnknownColumns;
    std::vector<std::string> lines = benchTable(
        views_, progress_.footer(BenchProgress::Clock::now()), columns, cli_.environment.colour);
    lines.push_back(prompt());
    std::string text = erasure();
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += lines[i] + (i + 1 < lines.size() ? "\n" : "");
    cli_.err << text << std::flush;
    drawnLines_ = lines.size();
}

std::string BenchConsole::erasure() const {
    if (drawnLines_ == 0)
        return {};
    // The cursor stays at the end of the prompt, the table's last line.
    const std::string up =
        drawnLines_ > 1 ? "\x1b[" + std::to_string(drawnLines_ - 1) + "A" : std::string();
    return "\r" + up + "\x1b[J";
}

void BenchConsole::redrawWhileRunning() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return dirty_ || stopping_; });
        if (stopping_)
            return;
        draw();
        dirty_ = false;
        // At most ten redraws a second.
        changed_.wait_for(lock, kLeastRedrawPause, [this] { return stopping_; });
    }
}

std::string BenchConsole::prompt() const {
    std::string asking;
    for (std::size_t i = 0; i < views_.size(); ++i) {
        if (views_[i].state == FixtureView::State::Asking)
            asking += (asking.empty() ? "" : ", ") + std::to_string(i + 1);
    }
    if (asking.empty())
        return "q quits once the running updaters end: ";
    return "Waiting for you: " + asking + ". Type the number when done (Ns skips, q quits): ";
}
