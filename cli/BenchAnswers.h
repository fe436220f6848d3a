#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "station/Station.h"

// The operator's answers to the fixtures of a bench, by number: "3" goes on
// with fixture 3, "3s" skips its row, "q" quits every fixture; Enter or "s"
// alone answers the one fixture that asks, when only one does. Whichever
// fixture waits for an answer reads the next line, and hands it to the
// fixture it names.
class BenchAnswers {
  public:
    // readLine gives the next line typed, nothing at the end of input,
    // which quits when endQuits (else no line is read after it);
    // discardTypedAhead throws away what was typed while no fixture asked;
    // say tells why a line was not taken.
    BenchAnswers(std::size_t fixtures, bool endQuits,
                 std::function<std::optional<std::string>()> readLine,
                 std::function<void()> discardTypedAhead,
                 std::function<void(const std::string&)> say);

    // Blocks until the operator answers this fixture (counted from 0), or quits.
    Answer await(std::size_t fixture);
    // While no fixture asks: takes a line when lineWaiting says one waits,
    // so that q quits then too. True once the operator quit.
    bool quitting(const std::function<bool()>& lineWaiting);

  private:
    // With the mutex held (by lock): reads a line and hands it on.
    void readOneLine(std::unique_lock<std::mutex>& lock);
    // With the mutex held: what the line answers.
    void take(const std::optional<std::string>& line);
    bool anyAsks() const;

    std::function<std::optional<std::string>()> readLine_;
    std::function<void()> discardTypedAhead_;
    std::function<void(const std::string&)> say_;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::vector<bool> asking_;
    std::vector<std::optional<Answer>> answers_;
    const bool endQuits_;
    bool reading_ = false;
    bool ended_ = false;
    bool quit_ = false;
};
