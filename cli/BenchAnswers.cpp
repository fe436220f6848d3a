#include "cli/BenchAnswers.h"

#include <algorithm>

#include "common/IntegerText.h"

BenchAnswers::BenchAnswers(std::size_t fixtures, bool endQuits,
                           std::function<std::optional<std::string>()> readLine,
                           std::function<void()> discardTypedAhead,
                           std::function<void(const std::string&)> say)
    : readLine_(std::move(readLine)),
      discardTypedAhead_(std::move(discardTypedAhead)),
      say_(std::move(say)),
      asking_(fixtures, false),
      answers_(fixtures),
      endQuits_(endQuits) {}

Answer BenchAnswers::await(std::size_t fixture) {
    std::unique_lock<std::mutex> lock(mutex_);
    // What was typed while no fixture asked answers none.
    if (!anyAsks() && !reading_ && discardTypedAhead_)
        discardTypedAhead_();
    asking_[fixture] = true;
    for (;;) {
        if (answers_[fixture] || quit_) {
            const Answer answer = quit_ ? Answer::Quit : *answers_[fixture];
            answers_[fixture].reset();
            asking_[fixture] = false;
            return answer;
        }
        if (reading_) {
            answered_.wait(lock);
            continue;
        }
        readOneLine(lock);
    }
}

bool BenchAnswers::quitting(const std::function<bool()>& lineWaiting) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (quit_ || ended_ || reading_ || anyAsks() || !lineWaiting || !lineWaiting())
        return quit_;
    readOneLine(lock);
    return quit_;
}

void BenchAnswers::readOneLine(std::unique_lock<std::mutex>& lock) {
    // The others wait while this one reads, without the lock.
    reading_ = true;
    lock.unlock();
    const auto line = readLine_();
    lock.lock();
    reading_ = false;
    take(line);
    answered_.notify_all();
}

bool BenchAnswers::anyAsks() const {
    return std::find(asking_.begin(), asking_.end(), true) != asking_.end();
}

void BenchAnswers::take(const std::optional<std::string>& line) {
    if (!line) {
        ended_ = true;
        quit_ = quit_ || endQuits_;
        return;
    }
    if (*line == "q" || *line == "Q") {
        quit_ = true;
        return;
    }
    std::string text = *line;
    const bool skip = !text.empty() && (text.back() == 's' || text.back() == 'S');
    if (skip)
        text.pop_back();
    std::optional<std::size_t> fixture;
    if (text.empty()) {
        // Enter or s alone: the one fixture that asks, when only one does.
        if (std::count(asking_.begin(), asking_.end(), true) == 1)
            fixture = static_cast<std::size_t>(std::find(asking_.begin(), asking_.end(), true) -
                                               asking_.begin());
    } else if (const auto number = tryParseInteger(text);
               number && *number >= 1 && static_cast<std::size_t>(*number) <= asking_.size()) {
        fixture = static_cast<std::size_t>(*number - 1);
    }
    if (!fixture) {
        say_(*line +
             ": give the fixture's number (3 goes on with fixture 3, 3s skips its row), "
             "or q to quit");
        return;
    }
    if (!asking_[*fixture]) {
        say_(*line + ": fixture " + std::to_string(*fixture + 1) + " asks nothing now");
        return;
    }
    answers_[*fixture] = skip ? Answer::Skip : Answer::Go;
}
