// tarvel-cli: the engine of Tarvel without windows, for scripts.
#include <iostream>

#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Interrupts.h"
#include "project/Workspace.h"

int main(int argc, char** argv) {
    platform::prepareConsoleOutput();
    CliEnvironment environment{workspaceRootFor(platform::executableFolder()),
                               platform::systemSerialApi(),
                               platform::standardErrorIsTerminal(),
                               {},
                               &std::cin};
    environment.discardTypedAhead = platform::discardTypedAhead;
    environment.typedLineWaiting = platform::typedLineWaiting;
    environment.watchInterruptions = platform::watchInterruptions;
    environment.interruptions = platform::interruptions;
    return runCommandLine(platform::programArguments(argc, argv), std::cout, std::cerr,
                          environment);
}
