#include "station/StationBoard.h"

#include "update/UpdaterLauncher.h"

namespace {

std::string rowPlace(std::size_t index, std::size_t count) {
    return "row " + std::to_string(index + 1) + " of " + std::to_string(count);
}

}  // namespace

// A tile's face (or, without a tile, the bench's): what the engine tells
// becomes the tile's view; its questions wait for the window's answers.
class StationBoard::Face final : public StationFace {
  public:
    Face(StationBoard& board, std::optional<std::size_t> tile) : board_(board), tile_(tile) {}

    void step(const std::string& text) override {
        if (!tile_) {
            board_.notice(text);
            return;
        }
        // The steps that lead to a question stay together until it is answered.
        edit([&](Tile& tile) {
            tile.view.step = moreSteps_ ? tile.view.step + "\n" + text : text;
            if (tile.view.state == FixtureView::State::NoAdapter)
                tile.view.state = FixtureView::State::Idle;
        });
        moreSteps_ = true;
    }
    void tell(const std::string& subject, const std::string& message) override {
        board_.notice(prefix() + subject + ": " + message);
    }
    void tellAboutFile(const std::string& path, const std::string& message) override {
        board_.notice(prefix() + path + ": " + message);
    }

    Answer ask(Question question) override {
        // A FAIL stays in sight while it asks to retry.
        edit([&](Tile& tile) {
            tile.question = question;
            if (question != Question::Retry)
                tile.view.state = FixtureView::State::Asking;
        });
        const Reply reply = board_.await(*tile_);
        edit([](Tile& tile) {
            tile.question.reset();
            if (tile.view.state == FixtureView::State::Asking)
                tile.view.state = FixtureView::State::Idle;
        });
        moreSteps_ = false;
        return reply.answer.value_or(Answer::Quit);
    }
    std::optional<std::string> askUnit() override {
        edit([](Tile& tile) {
            tile.asksUnit = true;
            tile.view.state = FixtureView::State::Asking;
        });
        const Reply reply = board_.await(*tile_);
        // The unit scanned is the one the tile writes.
        edit([&](Tile& tile) {
            tile.asksUnit = false;
            if (tile.view.state == FixtureView::State::Asking)
                tile.view.state = FixtureView::State::Idle;
            if (reply.unit)
                tile.view.project += " (" + *reply.unit + ")";
        });
        moreSteps_ = false;
        return reply.unit;
    }
    bool quitWhileWaiting() override { return board_.interruptions() > 0; }

    void updaterRunning(std::uint32_t elapsedMs, const std::string&) override {
        moreSteps_ = false;
        edit([&](Tile& tile) {
            tile.view.state = FixtureView::State::Running;
            tile.view.step = runningText(elapsedMs);
        });
    }
    // The output stays in its file, which the tile opens.
    void updaterOutput(const std::string&) override {}
    void updaterEnded() override {
        edit([](Tile& tile) { tile.view.state = FixtureView::State::Idle; });
    }
    void verdict(bool passed) override {
        edit([&](Tile& tile) { tile.view.step = passed ? "PASS" : "FAIL"; });
    }
    void banner(const std::vector<std::pair<std::string, std::string>>& facts) override {
        board_.change([&] { board_.board_.banner = facts; });
    }
    void rowOutcome(const std::string& project, RowState state) override {
        const char* word = state == RowState::Done       ? "ok"
                           : state == RowState::Outdated ? "outdated"
                                                         : "pending";
        board_.notice(std::string(word) + " " + project);
    }
    void queueCounted(std::size_t done, std::size_t pending) override {
        board_.change(
            [&] { board_.progress_.counted(done, pending, BenchProgress::Clock::now()); });
    }
    void rowTaken(const QueueRow& row, std::size_t index) override {
        moreSteps_ = false;
        edit([&](Tile& tile) {
            tile.view.project = row.name + (row.unit.empty() ? "" : " (" + row.unit + ")");
            tile.view.step.clear();
            tile.view.outcome.clear();
            tile.view.state = FixtureView::State::Idle;
            tile.place = rowPlace(index, board_.rowCount_);
        });
    }
    void adapterAbsent() override {
        edit([](Tile& tile) { tile.view.state = FixtureView::State::NoAdapter; });
    }
    void portFound(const std::string& portText) override {
        edit([&](Tile& tile) { tile.view.port = portText; });
    }
    void attemptOutputFile(const std::string& path) override {
        edit([&](Tile& tile) { tile.outputFile = path; });
    }
    void attemptEnded(const std::string& outcome) override {
        edit([&](Tile& tile) {
            tile.view.outcome = outcome;
            tile.view.last = outcome;
            tile.view.state = outcome == "ok"        ? FixtureView::State::Passed
                              : outcome == "skipped" ? FixtureView::State::Idle
                                                     : FixtureView::State::Failed;
            board_.progress_.ended(outcome, BenchProgress::Clock::now());
        });
    }

  private:
    // A single port's tile is the whole bench: its notices need no label.
    std::string prefix() const {
        if (!tile_ || board_.faces_.size() == 1)
            return "";
        const std::lock_guard<std::mutex> lock(board_.mutex_);
        return board_.board_.tiles[*tile_].view.label + ": ";
    }
    void edit(const std::function<void(Tile&)>& change) {
        if (tile_)
            board_.change([&] { change(board_.board_.tiles[*tile_]); });
    }

    StationBoard& board_;
    const std::optional<std::size_t> tile_;
    // Whether the next step goes below the last (only the engine's thread
    // of this tile reads and writes it).
    bool moreSteps_ = false;
};

StationBoard::StationBoard(const std::vector<Fixture>& fixtures, std::function<void()> changed)
    : changed_(std::move(changed)), replies_(fixtures.size()) {
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        Tile tile;
        tile.view.label = fixtures[i].label;
        tile.view.port = pinText(fixtures[i]);  // until its adapter is found
        board_.tiles.push_back(tile);
        faces_.push_back(std::make_unique<Face>(*this, i));
    }
    benchFace_ = std::make_unique<Face>(*this, std::nullopt);
}

StationBoard::~StationBoard() = default;

StationFace& StationBoard::tileFace(std::size_t tile) {
    return *faces_.at(tile);
}

StationFace& StationBoard::benchFace() {
    return *benchFace_;
}

bool StationBoard::answer(std::size_t tile, Answer answer) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (tile >= board_.tiles.size() || !board_.tiles[tile].question || replies_[tile])
            return false;
        replies_[tile] = Reply{answer, std::nullopt};
    }
    answered_.notify_all();
    return true;
}

bool StationBoard::giveUnit(std::size_t tile, const std::string& unit) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (tile >= board_.tiles.size() || !board_.tiles[tile].asksUnit || replies_[tile] ||
            unit.empty())
            return false;
        replies_[tile] = Reply{std::nullopt, unit};
    }
    answered_.notify_all();
    return true;
}

void StationBoard::stop() {
    change([this] { board_.stopping = true; });
    answered_.notify_all();
}

int StationBoard::interruptions() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return board_.stopping ? 1 : 0;
}

bool StationBoard::updaterRunning() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const Tile& tile : board_.tiles)
        if (tile.view.state == FixtureView::State::Running)
            return true;
    return false;
}

void StationBoard::setRowCount(std::size_t rows) {
    const std::lock_guard<std::mutex> lock(mutex_);
    rowCount_ = rows;
}

void StationBoard::ended(int status) {
    change([&] { board_.ended = status; });
}

StationBoard::Snapshot StationBoard::snapshot(std::size_t firstNotice) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    Snapshot copy;
    copy.tiles = board_.tiles;
    copy.banner = board_.banner;
    copy.stopping = board_.stopping;
    copy.ended = board_.ended;
    copy.noticeCount = board_.notices.size();
    if (firstNotice < board_.notices.size())
        copy.notices.assign(board_.notices.begin() + static_cast<std::ptrdiff_t>(firstNotice),
                            board_.notices.end());
    copy.footer = progress_.footer(BenchProgress::Clock::now());
    return copy;
}

void StationBoard::change(const std::function<void()>& edit) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        edit();
    }
    if (changed_)
        changed_();
}

void StationBoard::notice(const std::string& text) {
    change([&] { board_.notices.push_back(text); });
}

StationBoard::Reply StationBoard::await(std::size_t tile) {
    std::unique_lock<std::mutex> lock(mutex_);
    answered_.wait(lock, [&] { return replies_[tile].has_value() || board_.stopping; });
    Reply reply = replies_[tile].value_or(Reply{});
    replies_[tile].reset();
    return reply;
}
