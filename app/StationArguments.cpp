#include "app/StationArguments.h"

#include <map>

#include "platform/SerialNames.h"

const char* const kProgramUsage =
    "usage: Tarvel\n"
    "       Tarvel --station [QUEUE.csv] [--port COMn | --fixtures BENCH.csv] [--log FILE]\n"
    "                        [--key FILE] [--anchor DIR] [--unit ask]\n";

std::optional<StationArguments> readProgramArguments(const std::vector<std::string>& arguments) {
    if (arguments.empty())
        return std::nullopt;
    if (arguments.front() != "--station")
        throw UsageError{"unknown argument " + arguments.front()};
    StationArguments station;
    const std::map<std::string, std::string StationArguments::*> options = {
        {"--port", &StationArguments::port},
        {"--fixtures", &StationArguments::fixturesFile},
        {"--log", &StationArguments::logFile},
        {"--key", &StationArguments::keyFile},
        {"--anchor", &StationArguments::anchorFolder},
    };
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto option = options.find(argument);
        if (argument == "--unit") {
            if (i + 1 == arguments.size() || arguments[i + 1] != "ask")
                throw UsageError{"--unit takes ask"};
            station.askUnit = true;
            ++i;
        } else if (option != options.end()) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty())
                throw UsageError{argument + " needs a value"};
            std::string& value = station.*(option->second);
            if (!value.empty())
                throw UsageError{argument + " is given twice"};
            value = arguments[++i];
        } else if (argument.size() > 1 && argument.front() == '-') {
            throw UsageError{"unknown option " + argument};
        } else if (!station.queueFile.empty()) {
            throw UsageError{"one queue at a time: " + argument};
        } else {
            station.queueFile = argument;
        }
    }
    if (!station.port.empty() && !station.fixturesFile.empty())
        throw UsageError{"give --port or --fixtures, not both"};
    if (!station.port.empty() && !platform::comPortNumber(station.port))
        throw UsageError{"--port takes a port such as COM1"};
    if (!station.anchorFolder.empty() && station.keyFile.empty())
        throw UsageError{"--anchor goes with --key"};
    return station;
}
