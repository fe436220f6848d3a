#include <gtest/gtest.h>

#include "platform/win32/Wide.h"

namespace {

// Names pass the Windows boundary unchanged, whatever the code page.
TEST(Wide, Utf8AndUtf16RoundTripAndBrokenTextNeverThrows) {
    for (const std::string name : {"", "COM3", "Z\xC3\xBCrich-\xCE\xA9 \xE6\x9D\xB1\xE4\xBA\xAC",
                                   "Zo\xC3\xAB\\\xC3\x81rea", "\xF0\x9F\x94\x8C USB"})
        EXPECT_EQ(platform::fromWide(platform::toWide(name)), name);
    EXPECT_EQ(platform::toWide("\xC3\xBC"), std::wstring(L"\u00FC"));
    // A lone surrogate, as a driver may give an adapter's name.
    EXPECT_EQ(platform::fromWide(std::wstring(L"A") + wchar_t(0xD800) + L"B"),
              "A\xEF\xBF\xBD"
              "B");
}

}  // namespace
