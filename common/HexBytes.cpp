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
