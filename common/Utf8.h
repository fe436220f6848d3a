#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The length of the well-formed UTF-8 sequence at text[at], or 0 where none
// starts: a stray or missing continuation byte, an overlong form, a surrogate
// (U+D800-U+DFFF) or a code point above U+10FFFF.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// The characters of text; each byte that starts no well-formed sequence
// counts as one.
std::size_t utf8CharacterCount(std::string_view text);

// True when all of text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// text with each byte that starts no well-formed sequence replaced by U+FFFD.
std::string withInvalidBytesReplaced(std::string_view text);

// The byte order mark U+FEFF in UTF-8.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
