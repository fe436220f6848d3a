#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "station/ParameterKeys.h"

// A device image as image and decode print it: its bytes in hexadecimal, then
// each field in the image's order with what its code means.
void printImage(std::ostream& out, const std::string& bytes);

// The same as JSON: "bytes" (hexadecimal), "length" and "fields" (numbers).
Json imageJson(const std::string& bytes);

// The names of a complete image's parameters, in the image's order, and what
// each holds in bytes as a reader takes it ("9600", "even", "1000"); empty
// texts for an image that is not complete.
const std::vector<std::string>& imageParameterNames();
std::vector<std::string> imageParameterTexts(const std::string& bytes);
