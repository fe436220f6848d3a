#include <gtest/gtest.h>

#include <optional>

#include "common/AppError.h"
#include "common/IntegerText.h"

namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> expected;
};

class IntegerTextTest : public testing::TestWithParam<Case> {};

TEST_P(IntegerTextTest, ConvertsOrRefuses) {
    const Case& c = GetParam();
    EXPECT_EQ(tryParseInteger(c.text), c.expected) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerTextTest,
    testing::Values(
        // decimal and signs
        Case{"0", 0}, Case{"1000", 1000}, Case{"+3", 3}, Case{"-1", -1}, Case{"-0", 0},
        Case{"007", 7},
        // leading blanks are skipped, anything trailing is refused
        Case{" 7", 7}, Case{"   -12", -12}, Case{"7 ", std::nullopt}, Case{"7x", std::nullopt},
        Case{"1.5", std::nullopt}, Case{"\t7", std::nullopt},
        // signed 32-bit limits on both sides
        Case{"2147483647", 2147483647}, Case{"2147483648", std::nullopt},
        Case{"-2147483648", INT32_MIN}, Case{"-2147483649", std::nullopt},
        Case{"99999999999999999999", std::nullopt},
        // the five hexadecimal prefixes, up to 32 bits
        Case{"$FF", 255}, Case{"x10", 16}, Case{"X1f", 31}, Case{"0x10", 16}, Case{"0XaB", 171},
        Case{"$FFFFFFFF", -1}, Case{"$80000000", INT32_MIN}, Case{"$100000000", std::nullopt},
        Case{"-$10", -16}, Case{" +0x7FFFFFFF", 2147483647}, Case{"$", std::nullopt},
        Case{"0x", std::nullopt}, Case{"$G", std::nullopt}, Case{"$ 1", std::nullopt},
        // empty and other refused texts
        Case{"", std::nullopt}, Case{" ", std::nullopt}, Case{"+", std::nullopt},
        Case{"-", std::nullopt}, Case{"word", std::nullopt}, Case{"+-1", std::nullopt},
        Case{"1e3", std::nullopt}));

TEST(IntegerText, RefusalRaisesTheConversionError) {
    try {
        parseInteger("abc");
        FAIL() << "no error raised";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_THROW(parseInteger(""), AppError);
    EXPECT_EQ(parseInteger(" $10"), 16);
}

TEST(IntegerText, TheErrorQuotesAtMostSixtyCharacters) {
    const std::string sixty(60, 'a');
    const std::string accented = std::string(59, 'b') + "\xC3\xA9\xC3\xA9";  // 61 characters
    const std::pair<std::string, std::string> cases[] = {
        {sixty, sixty},
        {sixty + "b", sixty + "\u2026"},
        {std::string(5 << 20, 'x'), std::string(60, 'x') + "\u2026"},
        {accented, std::string(59, 'b') + "\xC3\xA9\u2026"},  // never half a character
        {std::string(1 << 20, '\x8b'), std::string(60, '\x8b') + "\u2026"},  // not UTF-8
    };
    for (const auto& [text, quoted] : cases) {
        try {
            parseInteger(text);
            ADD_FAILURE() << "no error raised";
        } catch (const AppError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + quoted + "' is not a valid integer value");
        }
    }
}

TEST(IntegerText, FallbackForRefusedText) {
    EXPECT_EQ(parseIntegerOr("12", -5), 12);
    EXPECT_EQ(parseIntegerOr("twelve", -5), -5);
    EXPECT_EQ(parseIntegerOr("", 3), 3);
}

}  // namespace
