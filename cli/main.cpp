// tarvel-cli: the engine of Tarvel without windows, for scripts.
#include <iostream>

#include "cli/CommandLine.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    platform::prepareConsoleOutput();
    return runCommandLine(platform::programArguments(argc, argv), std::cout, std::cerr,
                          systemEnvironment(platform::systemSerialApi()));
}
