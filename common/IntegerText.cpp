#include "common/IntegerText.h"

#include "common/AppError.h"
#include "common/ShortQuote.h"

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Returns the length of a hexadecimal prefix at the start of text, or 0.
std::size_t hexPrefixLength(std::string_view text) {
    if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X'))
        return 1;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return 2;
    return 0;
}

std::optional<std::uint32_t> parseHexDigits(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint64_t> parseDecimalMagnitude(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > 0x80000000ull)
            return std::nullopt;  // beyond any signed 32-bit value
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> tryParseInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::string_view rest = text.substr(pos);

    if (const std::size_t prefix = hexPrefixLength(rest); prefix > 0) {
        const auto bits = parseHexDigits(rest.substr(prefix));
        if (!bits)
            return std::nullopt;
        // Hexadecimal text gives the 32-bit pattern, so "$FFFFFFFF" is -1.
        const std::uint32_t pattern = negative ? 0u - *bits : *bits;
        return static_cast<std::int32_t>(pattern);
    }

    const auto magnitude = parseDecimalMagnitude(rest);
    if (!magnitude)
        return std::nullopt;
    if (negative)
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(*magnitude));
    if (*magnitude > 0x7FFFFFFFull)
        return std::nullopt;
    return static_cast<std::int32_t>(*magnitude);
}

std::int32_t parseInteger(const std::string& text) {
    if (const auto value = tryParseInteger(text))
        return *value;
    throw AppError("'" + shortQuote(text) + "' is not a valid integer value");
}

std::int32_t parseIntegerOr(std::string_view text, std::int32_t fallback) {
    return tryParseInteger(text).value_or(fallback);
}
