#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "station/BenchProgress.h"
#include "station/Station.h"

// A station as a window shows it, without the window: a tile for each
// fixture (one for a single port), the bench's counts and what it said.
// The engine's threads tell it through its faces; the window reads a copy
// and answers a tile, and each change is signalled through changed (from
// any thread), so that the window redraws on its own thread.
class StationBoard {
  public:
    // What a tile shows.
    struct Tile {
        FixtureView view;  // label, port, project and unit, step, outcome, state
        // The row's place in the queue ("row 3 of 40"), empty before the first.
        std::string place;
        // What the tile waits for, when it waits for the operator.
        std::optional<Question> question;
        bool asksUnit = false;
        // The file the last attempt's updater wrote to.
        std::string outputFile;
    };

    struct Snapshot {
        std::vector<Tile> tiles;
        std::string footer;
        // Notices, oldest first, from the one asked for on: checks that
        // failed, files, ports; and how many were told in all.
        std::vector<std::string> notices;
        std::size_t noticeCount = 0;
        std::vector<std::pair<std::string, std::string>> banner;
        bool stopping = false;
        std::optional<int> ended;  // the station's status, once it has ended
    };

    StationBoard(const std::vector<Fixture>& fixtures, std::function<void()> changed);
    ~StationBoard();
    StationBoard(const StationBoard&) = delete;
    StationBoard& operator=(const StationBoard&) = delete;

    // The face of a tile, and the face for what concerns the whole bench.
    StationFace& tileFace(std::size_t tile);
    StationFace& benchFace();

    // The operator's answer to a tile: false, and nothing done, when the
    // tile waits for no such answer.
    bool answer(std::size_t tile, Answer answer);
    bool giveUnit(std::size_t tile, const std::string& unit);
    // Every tile that waits quits; a running updater ends first, then its
    // result is recorded. The engine learns it through interruptions.
    void stop();
    int interruptions() const;
    // Whether an updater runs on any tile.
    bool updaterRunning() const;
    void ended(int status);
    // The queue's rows, for each tile's place in it.
    void setRowCount(std::size_t rows);

    // The board as it is now, with the notices from firstNotice on.
    Snapshot snapshot(std::size_t firstNotice = 0) const;

  private:
    class Face;

    void change(const std::function<void()>& edit);
    void notice(const std::string& text);
    // The operator's reply to what the tile waits for: an answer, or a unit
    // (nothing once stopped).
    struct Reply {
        std::optional<Answer> answer;
        std::optional<std::string> unit;
    };
    Reply await(std::size_t tile);

    std::size_t rowCount_ = 0;
    const std::function<void()> changed_;
    std::vector<std::unique_ptr<Face>> faces_;
    std::unique_ptr<Face> benchFace_;
    mutable std::mutex mutex_;
    std::condition_variable answered_;
    Snapshot board_;
    std::vector<std::optional<Reply>> replies_;
    BenchProgress progress_;
};
