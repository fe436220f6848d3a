#pragma once

#include <string>
#include <vector>

#include "station/Station.h"

// The most fixtures one station drives, and the longest label.
inline constexpr std::size_t kMostFixtures = 16;
inline constexpr std::size_t kLongestFixtureLabel = 16;

// A bench file's fixtures: CSV as a queue's, a header naming the column
// fixture and one or more of port, usbPath and serial; each row a unique
// label pinned by exactly one of them. Raises CsvError naming the line of
// the first problem.
std::vector<Fixture> readBenchFile(const std::string& text);
