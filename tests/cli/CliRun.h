#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "support/FakeSerialApi.h"

// What one run of tarvel-cli gave.
struct CliResult {
    int status;
    std::string out;
    std::string err;
};

// Runs tarvel-cli in the process itself, with a fake serial layer unless the
// environment names another.
inline CliResult runCli(const std::vector<std::string>& arguments,
                        CliEnvironment environment = {}) {
    if (!environment.serial)
        environment.serial = std::make_shared<FakeSerialApi>();
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCommandLine(arguments, out, err, environment);
    return {status, out.str(), err.str()};
}
