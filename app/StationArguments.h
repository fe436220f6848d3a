#pragma once

#include <optional>
#include <string>
#include <vector>

// What the program was started with: nothing (the main window), or
// --station and what the station works with. A value left out is asked
// for (the queue, the port) or takes its default (the log).
struct StationArguments {
    std::string queueFile;
    std::string port;
    std::string fixturesFile;
    std::string logFile;
    std::string keyFile;
    std::string anchorFolder;
    // Each unit's serial number asked on its tile (--unit ask).
    bool askUnit = false;
};

// The program's usage, as it is printed after a usage error.
extern const char* const kProgramUsage;

// The arguments after the program's name (those Qt takes are gone): nothing
// for none, or the station's; raises UsageError for what it does not take.
std::optional<StationArguments> readProgramArguments(const std::vector<std::string>& arguments);

struct UsageError {
    std::string message;
};
