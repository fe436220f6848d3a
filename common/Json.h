#pragma once

#include <nlohmann/json.hpp>

// The JSON of records and of what the command line prints: members keep the
// order they were given in.
using Json = nlohmann::ordered_json;
