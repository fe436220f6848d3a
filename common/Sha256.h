#pragma once

#include <string>
#include <string_view>

// The SHA-256 digest of bytes as 64 lowercase hexadecimal digits.
std::string sha256Hex(std::string_view bytes);
