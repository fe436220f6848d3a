#include "cli/BenchTable.h"

#include <algorithm>
#include <cstdio>

#include "common/Utf8.h"

namespace {

constexpr std::size_t kRatedConverters = 10;

// text in exactly width columns: cut with "…", or filled with blanks.
// A byte that is no UTF-8 (an adapter's name from sysfs may hold one) is
// shown as U+FFFD; each character takes one column.
std::string fitted(const std::string& raw, std::size_t width) {
    if (width == 0)
        return {};
    const std::string text = withInvalidBytesReplaced(raw);
    const std::size_t have = utf8CharacterCount(text);
    if (have <= width)
        return text + std::string(width - have, ' ');
    std::size_t at = 0;
    for (std::size_t kept = 0; kept + 1 < width; ++kept) at += utf8SequenceLength(text, at);
    return text.substr(0, at) + "\u2026";
}

// Each state's words and colour, in the order of FixtureView::State.
struct StateLook {
    const char* words;
    const char* colour;
};
constexpr StateLook kLooks[] = {
    {"working", ""},
    {"no adapter", "\x1b[2m"},   // dim
    {"asks you", "\x1b[1;33m"},  // bold yellow
    {"running", "\x1b[36m"},     // cyan
    {"PASS", "\x1b[1;32m"},
    {"FAIL", "\x1b[1;31m"},
};

const StateLook& lookOf(FixtureView::State state) {
    return kLooks[static_cast<std::size_t>(state)];
}

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
    return lookOf(state).words;
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

std::vector<std::string> benchTable(const std::vector<FixtureView>& fixtures,
                                    const std::string& footer, std::size_t columns, bool colour) {
    std::size_t labelWidth = 7;  // "Fixture"
    for (const FixtureView& fixture : fixtures)
        labelWidth = std::max(labelWidth, utf8CharacterCount(fixture.label));
    // A wide terminal shows more of the port's device and adapter.
    const std::size_t portWidth = std::clamp<std::size_t>(columns > 80 ? columns - 68 : 12, 12, 40);
    const std::vector<std::size_t> widths = {2, labelWidth, portWidth, 12, 10, 10};
    std::size_t fixed = 0;
    for (const std::size_t width : widths) fixed += width + 1;
    const std::size_t stepWidth = columns > fixed + 10 ? columns - fixed : 10;
    const auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t i = 0; i < widths.size(); ++i) text += fitted(cells[i], widths[i]) + " ";
        return fitted(text + fitted(cells.back(), stepWidth), columns);
    };
    std::vector<std::string> lines = {
        line({"#", "Fixture", "Port", "Project", "State", "Last", "Step"})};
    for (std::size_t i = 0; i < fixtures.size(); ++i) {
        const FixtureView& fixture = fixtures[i];
        std::string text =
            line({std::to_string(i + 1), fixture.label, fixture.port, fixture.project,
                  stateWords(fixture.state), fixture.last, fixture.step});
        const char* paint = lookOf(fixture.state).colour;
        if (colour && *paint)
            text = paint + text + "\x1b[0m";
        lines.push_back(text);
    }
    lines.push_back(fitted(footer, columns));
    return lines;
}
