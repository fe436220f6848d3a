#pragma once

#include <ostream>
#include <string>

#include "cli/ParameterKeys.h"

// A device image as image and decode print it: its bytes in hexadecimal, then
// each field in the image's order with what its code means.
void printImage(std::ostream& out, const std::string& bytes);

// The same as JSON: "bytes" (hexadecimal), "length" and "fields" (numbers).
Json imageJson(const std::string& bytes);
