#pragma once

#include <string>
#include <string_view>

namespace platform {

// Text inside the program is UTF-8; Windows takes and gives UTF-16. Every
// name crosses here, so that no name depends on the ANSI code page.
std::wstring toWide(std::string_view utf8);
// What does not convert becomes U+FFFD; it never throws.
std::string fromWide(std::wstring_view utf16);

}  // namespace platform
