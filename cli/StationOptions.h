#pragma once

#include <string>

#include "station/Station.h"

class Cli;

// The station's settings as its options give them, each checked: a usage
// error for a value it does not take, a file error for a key, anchor or log
// folder it cannot use.
StationSettings readStationSettings(Cli& cli, const std::string& queueFile);
