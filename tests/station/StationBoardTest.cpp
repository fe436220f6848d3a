#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "station/StationBoard.h"

namespace {

// A board of two tiles whose changes can be waited for.
class StationBoardTest : public ::testing::Test {
  protected:
    StationBoard board{{{"A", "COM1", {}, {}}, {"B", "COM2", {}, {}}}, [this] {
                           const std::lock_guard<std::mutex> lock(mutex_);
                           changed_.notify_all();
                       }};

    void waitUntil(const std::function<bool(const StationBoard::Snapshot&)>& holds) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return holds(board.snapshot()); });
    }
    void waitForQuestion(std::size_t tile) {
        waitUntil([tile](const StationBoard::Snapshot& s) {
            return s.tiles[tile].question.has_value() || s.tiles[tile].asksUnit;
        });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

TEST_F(StationBoardTest, OnlyATileThatAsksTakesAnAnswerAndOnlyOnce) {
    EXPECT_FALSE(board.answer(0, Answer::Go));  // nothing asked yet
    auto asked = std::async(std::launch::async,
                            [&] { return board.tileFace(0).ask(Question::BootLedBlinks); });
    waitForQuestion(0);
    EXPECT_EQ(board.snapshot().tiles[0].view.state, FixtureView::State::Asking);
    EXPECT_FALSE(board.answer(1, Answer::Go));  // the other tile asks nothing
    EXPECT_FALSE(board.giveUnit(0, "U1"));      // nor is a unit asked
    EXPECT_TRUE(board.answer(0, Answer::Skip));
    EXPECT_FALSE(board.answer(0, Answer::Go));  // a second press changes nothing
    EXPECT_EQ(asked.get(), Answer::Skip);
    EXPECT_FALSE(board.snapshot().tiles[0].question.has_value());
    EXPECT_FALSE(board.answer(0, Answer::Go));
}

TEST_F(StationBoardTest, StopQuitsEveryWaitingTile) {
    auto asked = std::async(std::launch::async,
                            [&] { return board.tileFace(0).ask(Question::DeviceConnected); });
    auto unit = std::async(std::launch::async, [&] { return board.tileFace(1).askUnit(); });
    waitForQuestion(0);
    waitForQuestion(1);
    EXPECT_FALSE(board.giveUnit(1, ""));  // an empty field is no unit
    EXPECT_EQ(board.interruptions(), 0);
    board.stop();
    EXPECT_EQ(asked.get(), Answer::Quit);
    EXPECT_EQ(unit.get(), std::nullopt);
    EXPECT_EQ(board.interruptions(), 1);
    EXPECT_TRUE(board.tileFace(0).quitWhileWaiting());
}

TEST_F(StationBoardTest, AScannedUnitReachesItsTile) {
    board.tileFace(1).rowTaken({2, "P1", "/p/P1", "img"}, 0);
    auto unit = std::async(std::launch::async, [&] { return board.tileFace(1).askUnit(); });
    waitForQuestion(1);
    EXPECT_TRUE(board.giveUnit(1, "SN-0042"));
    EXPECT_EQ(unit.get(), "SN-0042");
    EXPECT_EQ(board.snapshot().tiles[1].view.project, "P1 (SN-0042)");
}

TEST_F(StationBoardTest, ATileFollowsItsRowAndTheBenchCountsOutcomes) {
    board.setRowCount(5);
    board.benchFace().queueCounted(1, 4);
    StationFace& face = board.tileFace(1);
    face.rowTaken({7, "P2", "/p/P2", "img", "U9"}, 1);
    face.portFound("COM2 (/dev/ttyUSB1, FTDI)");
    face.updaterRunning(3000, "");
    EXPECT_TRUE(board.updaterRunning());
    face.updaterEnded();
    face.attemptEnded("failed");
    board.benchFace().tellAboutFile("q.csv", "a notice");
    face.tell("P2", "another");

    const StationBoard::Snapshot s = board.snapshot();
    const StationBoard::Tile& tile = s.tiles[1];
    EXPECT_EQ(tile.view.project, "P2 (U9)");
    EXPECT_EQ(tile.place, "row 2 of 5");
    EXPECT_EQ(tile.view.port, "COM2 (/dev/ttyUSB1, FTDI)");
    EXPECT_EQ(tile.view.state, FixtureView::State::Failed);
    EXPECT_EQ(tile.view.last, "failed");
    EXPECT_EQ(s.tiles[0].view.port, "COM1");  // pinned, not found yet
    EXPECT_FALSE(board.updaterRunning());
    EXPECT_EQ(s.footer.rfind("done 1 \u00b7 failed 1 \u00b7 pending 4", 0), 0u) << s.footer;
    EXPECT_EQ(s.notices, (std::vector<std::string>{"q.csv: a notice", "B: P2: another"}));
}

}  // namespace
