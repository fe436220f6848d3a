#pragma once

#include <string>

#include "station/Station.h"

class Cli;

// The station's settings as its options give them, each checked: a usage
// error for a value it does not take, a file error for a key, anchor or log
// folder it cannot use.
StationSettings readStationSettings(Cli& cli, const std::string& queueFile);

// How the console shows a bench: its events file (none: empty), and plain
// lines even on a terminal (--ui lines).
struct BenchOptions {
    std::string eventsFile;
    bool plainLines = false;
};
BenchOptions readBenchOptions(Cli& cli);
