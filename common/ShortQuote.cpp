#include "common/ShortQuote.h"

namespace {

constexpr std::size_t kQuotedCharacters = 60;

// How many continuation bytes follow this lead byte in UTF-8.
std::size_t continuationsAfter(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0)
        return 1;
    if ((lead & 0xF0) == 0xE0)
        return 2;
    if ((lead & 0xF8) == 0xF0)
        return 3;
    return 0;
}

// A NUL would end the message wherever it is handed on as C text.
std::string shownWhole(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        if (c == '\0')
            shown += "\\0";
        else
            shown += c;
    }
    return shown;
}

}  // namespace

std::string shortQuote(std::string_view text) {
    std::size_t characters = 0;
    std::size_t continuationsDue = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // A continuation byte that no lead byte announced, as in text that is
        // not UTF-8, counts as a character of its own.
        if ((byte & 0xC0) == 0x80 && continuationsDue > 0) {
            --continuationsDue;
            continue;
        }
        continuationsDue = continuationsAfter(byte);
        if (++characters > kQuotedCharacters)
            return shownWhole(text.substr(0, i)) + "\u2026";
    }
    return shownWhole(text);
}
