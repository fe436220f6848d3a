#pragma once

#include <optional>
#include <string>
#include <string_view>

// Bytes as uppercase hexadecimal pairs with a blank between: "04 00 1F".
std::string hexBytes(std::string_view bytes);

// Bytes as lowercase hexadecimal digits without blanks: "04001f".
std::string lowercaseHex(std::string_view bytes);

// The bytes that such digits (either case) stand for; nothing when text is
// not an even number of hexadecimal digits.
std::optional<std::string> bytesFromHex(std::string_view text);
