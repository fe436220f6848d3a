#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

// One fixture of a bench as its operator sees it.
struct FixtureView {
    enum class State { Idle, NoAdapter, Asking, Running, Passed, Failed };
    std::string label;
    std::string port;
    std::string project;
    std::string step;
    // The outcome of this row's last attempt, and of the fixture's last
    // attempt of any row, which the table shows while the next one runs.
    std::string outcome;
    std::string last;
    State state = State::Idle;
    bool operator==(const FixtureView&) const = default;
};

// The state's words, which a bench gives beside its colour.
const char* stateWords(FixtureView::State state);

// Rows done and converters per hour over the last ten, and the time left
// at that rate.
class BenchProgress {
  public:
    using Clock = std::chrono::steady_clock;
    // The counts as the bench starts, at the time given.
    void counted(std::size_t done, std::size_t pending, Clock::time_point when);
    void ended(const std::string& outcome, Clock::time_point when);
    // "done 3 · failed 1 · pending 12 · 40/h · 18 min left": the rate is the
    // last ten converters over the time since the one before them (or the
    // start), so that converters that end together count as they are.
    std::string footer(Clock::time_point now) const;

  private:
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::size_t pending_ = 0;
    Clock::time_point started_;
    // The times of the last eleven converters done.
    std::deque<Clock::time_point> lastDone_;
};
