// tarvel-cli-fakeports: tarvel-cli on the tests' serial layer, so that a
// bench of fixtures runs as a whole process on a machine without adapters.
// Built with the tests, never installed.
#include <iostream>

#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "support/FakeAdapters.h"

int main(int argc, char** argv) {
    platform::prepareConsoleOutput();
    const FakeAdapters adapters;
    CliEnvironment environment = systemEnvironment(adapters.serial);
    environment.systemRoot = adapters.systemRoot();
    environment.deviceRoot = adapters.deviceRoot();
    return runCommandLine(platform::programArguments(argc, argv), std::cout, std::cerr,
                          environment);
}
