#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// The code points of the bytes 0x80-0xFF in a single-byte code page, -1 where
// the code page leaves a byte undefined.
using CodePageHighHalf = std::array<int, 128>;

// The table of a Windows code page 1250-1258 named "windows-125N" or
// "cp125N" (in any case), or nullptr.
const CodePageHighHalf* windowsCodePage(std::string_view encodingName);

// Line number `line` (from 1, ended by CR, LF or CR LF as an XML parser counts
// lines) of an XML document's bytes, read in the encoding that its byte order
// mark or its declaration names, cut to its first maxCharacters characters
// and given in UTF-8. Bytes the encoding cannot read become U+FFFD.
std::string documentLineText(const std::string& source, unsigned long line,
                             std::size_t maxCharacters);
