#pragma once

#include <string>
#include <string_view>

// Document text as a message quotes it: whole up to 60 characters, otherwise
// its first 60 characters and "…", so that a huge value never floods a box.
// A NUL shows as \0.
std::string shortQuote(std::string_view text);
