#include "cli/BenchTable.h"

#include <gtest/gtest.h>

namespace {

// Two fixtures on a terminal of 80 columns: every line fits, the state is
// in words as well as in colour, and the footer rates the last converters.
TEST(BenchTable, FitsTheTerminalAndNamesEachStateInWords) {
    BenchProgress progress;
    progress.counted(1, 5);
    const auto start = BenchProgress::Clock::now();
    progress.ended("ok", start);
    progress.ended("failed", start + std::chrono::seconds(5));
    progress.ended("ok", start + std::chrono::seconds(10));
    progress.ended("ok", start + std::chrono::seconds(20));
    EXPECT_EQ(progress.footer(),
              "done 4 \u00b7 failed 1 \u00b7 pending 2 \u00b7 360/h \u00b7 20 s left");

    std::vector<FixtureView> fixtures(2);
    fixtures[0] = {"Left",
                   "COM3 (/dev/ttyUSB0), FTDI FT232R USB UART",
                   "CNV-0001 (SN 42)",
                   "Updater running\u2026 12 s",
                   "",
                   FixtureView::State::Running};
    fixtures[1] = {"Right-bench-16ch", "usbPath 1-1.2", "",
                   "No adapter",       "failed",        FixtureView::State::NoAdapter};
    const std::vector<std::string> lines = benchTable(fixtures, progress.footer(), 80, false);
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
}

}  // namespace
