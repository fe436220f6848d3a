#include "station/BenchProgress.h"

#include <algorithm>

namespace {

constexpr std::size_t kRatedConverters = 10;

// In the order of FixtureView::State.
constexpr const char* kStateWords[] = {"working", "no adapter", "asks you",
                                       "running", "PASS",       "FAIL"};

std::string duration(double seconds) {
    if (seconds < 60)
        return std::to_string(static_cast<long>(seconds + 0.5)) + " s";
    const long minutes = static_cast<long>(seconds / 60 + 0.5);
    if (minutes < 60)
        return std::to_string(minutes) + " min";
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

}  // namespace

const char* stateWords(FixtureView::State state) {
    return kStateWords[static_cast<std::size_t>(state)];
}

void BenchProgress::counted(std::size_t done, std::size_t pending, Clock::time_point when) {
    done_ = done;
    pending_ = pending;
    started_ = when;
}

void BenchProgress::ended(const std::string& outcome, Clock::time_point when) {
    if (outcome == "ok") {
        ++done_;
        pending_ -= std::min<std::size_t>(pending_, 1);
        lastDone_.push_back(when);
        if (lastDone_.size() > kRatedConverters + 1)
            lastDone_.pop_front();
    } else if (outcome != "skipped" && outcome != "quit") {
        ++failed_;
    }
}

std::string BenchProgress::footer(Clock::time_point now) const {
    std::string text = "done " + std::to_string(done_) + " \u00b7 failed " +
                       std::to_string(failed_) + " \u00b7 pending " + std::to_string(pending_);
    if (lastDone_.empty())
        return text;
    const bool full = lastDone_.size() > kRatedConverters;
    const Clock::time_point since = full ? lastDone_.front() : started_;
    const double converters = static_cast<double>(lastDone_.size() - (full ? 1 : 0));
    const double seconds = std::chrono::duration<double>(now - since).count();
    if (seconds <= 0)
        return text;
    const double perHour = converters * 3600 / seconds;
    text += " \u00b7 " + std::to_string(static_cast<long>(perHour + 0.5)) + "/h";
    if (pending_ > 0)
        text += " \u00b7 " + duration(static_cast<double>(pending_) * 3600 / perHour) + " left";
    return text;
}
