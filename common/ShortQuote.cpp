#include "common/ShortQuote.h"

namespace {

constexpr std::size_t kQuotedCharacters = 60;

bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;  // not a UTF-8 continuation
}

}  // namespace

std::string shortQuote(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (startsCharacter(text[i]) && ++characters > kQuotedCharacters)
            return std::string(text.substr(0, i)) + "\u2026";
    }
    return std::string(text);
}
