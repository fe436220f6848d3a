// The integer text conversion against a reference written from its rules:
// leading blanks, an optional sign, then decimal digits that fit a signed
// 32-bit integer, or hexadecimal digits of up to 32 bits after "$", "x", "X",
// "0x" or "0X" (the sign negating the 32-bit pattern); nothing after.
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "common/AppError.h"
#include "common/IntegerText.h"

namespace {

std::optional<std::int32_t> reference(const std::string& text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    std::string digits;
    int base = 10;
    if (text.compare(i, 1, "$") == 0 || text.compare(i, 1, "x") == 0 ||
        text.compare(i, 1, "X") == 0) {
        base = 16;
        digits = text.substr(i + 1);
    } else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) {
        base = 16;
        digits = text.substr(i + 2);
    } else {
        digits = text.substr(i);
    }
    if (digits.empty())
        return std::nullopt;
    const std::string allowed = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.find_first_not_of(allowed) != std::string::npos)
        return std::nullopt;
    const std::size_t significant = digits.find_first_not_of('0');
    const std::string value = significant == std::string::npos ? "0" : digits.substr(significant);
    if (base == 16) {
        if (value.size() > 8)
            return std::nullopt;
        const auto pattern = static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
        return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
    }
    if (value.size() > 10)
        return std::nullopt;
    const long long magnitude = std::stoll(value);
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto expected = reference(text);
    if (tryParseInteger(text) != expected)
        finding("'" + text + "' converts differently from the rules");
    if (parseIntegerOr(text, 77) != expected.value_or(77))
        finding("the fall-back differs for '" + text + "'");
    try {
        if (parseInteger(text) != expected)
            finding("parseInteger took '" + text + "' wrongly");
    } catch (const AppError& e) {
        if (expected)
            finding("parseInteger refused '" + text + "'");
        // A zero byte ends the message text early; only whole messages are checked.
        const std::string message = e.what();
        const bool whole = text.find('\0') == std::string::npos;
        if (whole && (message.size() > 60 * 4 + 40 ||
                      message.find("' is not a valid integer value") == std::string::npos))
            finding("refusal message: " + message.substr(0, 200));
    }
    return 0;
}
