#include "cli/BenchTable.h"

#include <algorithm>

#include "common/Utf8.h"

namespace {

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

// Each state's colour, in the order of FixtureView::State.
constexpr const char* kColours[] = {
    "",
    "\x1b[2m",     // no adapter: dim
    "\x1b[1;33m",  // asks you: bold yellow
    "\x1b[36m",    // running: cyan
    "\x1b[1;32m",  // PASS
    "\x1b[1;31m",  // FAIL
};

}  // namespace

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
        const char* paint = kColours[static_cast<std::size_t>(fixture.state)];
        if (colour && *paint)
            text = paint + text + "\x1b[0m";
        lines.push_back(text);
    }
    lines.push_back(fitted(footer, columns));
    return lines;
}
