#include "common/UtcTime.h"

#include <gtest/gtest.h>

namespace {

// Dates about the edges of months, leap years and the epoch, both ways.
TEST(UtcTimeTest, WritesAndReadsIso8601WithMilliseconds) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {-1, "1969-12-31T23:59:59.999Z"},
        {951782400000, "2000-02-29T00:00:00.000Z"},
        {1796869200123, "2026-12-10T02:20:00.123Z"},
        {4107542399999, "2100-02-28T23:59:59.999Z"},
        {4107542400000, "2100-03-01T00:00:00.000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isoUtc(c.ms), c.text);
        EXPECT_EQ(parseIsoUtc(c.text), c.ms) << c.text;
    }
    for (const char* refused : {"", "2026-12-10T02:20:00Z", "2026-13-10T02:20:00.000Z",
                                "2026-12-10 02:20:00.000Z", "2026-12-10T02:20:00.000+01"})
        EXPECT_FALSE(parseIsoUtc(refused)) << refused;
}

}  // namespace
