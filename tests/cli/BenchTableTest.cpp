#include "cli/BenchTable.h"

#include <gtest/gtest.h>

namespace {

// Two fixtures on a terminal of 80 columns: every line fits, the state is
// in words as well as in colour, and the footer rates the last converters.
TEST(BenchTable, FitsTheTerminalAndNamesEachStateInWords) {
    // Two converters that end together count as two; the rate then rests
    // on the last ten.
    BenchProgress progress;
    const auto start = BenchProgress::Clock::now();
    const auto at = [&](int seconds) { return start + std::chrono::seconds(seconds); };
    progress.counted(1, 15, start);
    progress.ended("ok", at(20));
    progress.ended("ok", at(20));
    progress.ended("failed", at(25));
    EXPECT_EQ(progress.footer(at(40)),
              "done 3 \u00b7 failed 1 \u00b7 pending 13 \u00b7 180/h \u00b7 4 min left");
    for (int i = 1; i <= 10; ++i) progress.ended("ok", at(40 + 10 * i));
    EXPECT_EQ(progress.footer(at(140)),
              "done 13 \u00b7 failed 1 \u00b7 pending 3 \u00b7 300/h "
              "\u00b7 36 s left");

    std::vector<FixtureView> fixtures(2);
    fixtures[0] = {"Left",
                   "COM3 (/dev/ttyUSB0), FTDI FT232R USB UART",
                   "CNV-0001 (SN 42)",
                   "Updater running\u2026 12 s",
                   "",
                   "",
                   FixtureView::State::Running};
    fixtures[1] = {"Right-bench-16ch",           "usbPath 1-1.2", "", "No adapter", "", "failed",
                   FixtureView::State::NoAdapter};
    const std::vector<std::string> lines =
        benchTable(fixtures, progress.footer(at(140)), 80, false);
    ASSERT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) {
        std::size_t columns = 0;
        for (const unsigned char c : line) columns += (c & 0xC0) != 0x80;
        EXPECT_EQ(columns, 80u) << line;
    }
    EXPECT_EQ(lines[1],
              "1  Left             COM3 (/dev/\u2026 CNV-0001 (S\u2026 running               "
              "Updater run\u2026");
    EXPECT_EQ(lines[2].substr(0, 70),
              "2  Right-bench-16ch usbPath 1-1\u2026              no adapter failed     ");
    const std::vector<std::string> coloured = benchTable(fixtures, "", 80, true);
    EXPECT_EQ(coloured[1].rfind("\x1b[36m1  Left", 0), 0u);
    EXPECT_EQ(coloured[0].find('\x1b'), std::string::npos);  // the header keeps its colour
    // An adapter's name from sysfs with a byte that is no UTF-8 still fits,
    // marked as such.
    fixtures[1].port = "usbPath \xff";
    EXPECT_NE(benchTable(fixtures, "", 80, false)[2].find("usbPath \ufffd"), std::string::npos);
}

}  // namespace
