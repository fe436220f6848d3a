#pragma once

#include <string>
#include <string_view>

// Bytes as uppercase hexadecimal pairs with a blank between: "04 00 1F".
std::string hexBytes(std::string_view bytes);
