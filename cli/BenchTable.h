#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "station/BenchProgress.h"

// The table: a header, a line per fixture and the footer, each cut to
// columns; with colour, each fixture's state in its colour.
std::vector<std::string> benchTable(const std::vector<FixtureView>& fixtures,
                                    const std::string& footer, std::size_t columns, bool colour);
