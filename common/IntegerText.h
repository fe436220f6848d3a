#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Integer text conversion shared by every document and edit field: leading
// blanks, an optional sign, then decimal digits that fit a signed 32-bit
// integer, or up to 32 bits of hexadecimal after "$", "x", "X", "0x" or "0X".
// Nothing may follow the number.
std::optional<std::int32_t> tryParseInteger(std::string_view text);

// Raises AppError "'<text>' is not a valid integer value" for refused text,
// a long text cut to its first 60 characters and "…".
std::int32_t parseInteger(const std::string& text);

std::int32_t parseIntegerOr(std::string_view text, std::int32_t fallback);
