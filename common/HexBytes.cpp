#include "common/HexBytes.h"

#include <cstdio>

std::string hexBytes(std::string_view bytes) {
    std::string hex;
    for (const char c : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(c));
        if (!hex.empty())
            hex += ' ';
        hex += text;
    }
    return hex;
}

std::string lowercaseHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

std::optional<std::string> bytesFromHex(std::string_view text) {
    const auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const int high = value(text[at]);
        const int low = value(text[at + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}
