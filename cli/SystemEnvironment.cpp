// What tarvel-cli works with on this machine: its console, its serial ports,
// its interruptions.
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "cli/CommandLine.h"
#include "platform/Console.h"
#include "platform/FileSystem.h"
#include "platform/Interrupts.h"
#include "project/Workspace.h"

namespace {

#ifdef _WIN32
constexpr bool kTermOptional = true;
#else
constexpr bool kTermOptional = false;
#endif

}  // namespace

CliEnvironment systemEnvironment(std::shared_ptr<platform::SerialApi> serial) {
    CliEnvironment environment{workspaceRootFor(platform::executableFolder()),
                               std::move(serial),
                               platform::standardErrorIsTerminal(),
                               {},
                               &std::cin};
    environment.discardTypedAhead = platform::discardTypedAhead;
    environment.typedLineWaiting = platform::typedLineWaiting;
    environment.inputWaiting = platform::inputWaiting;
    environment.watchInterruptions = platform::watchInterruptions;
    environment.interruptions = platform::interruptions;
    // A terminal without a TERM (a Windows console has none) is taken as
    // able; a dumb one gets plain lines.
    const char* term = std::getenv("TERM");
    environment.tableOnTerminal =
        environment.progressOnTerminal && (term ? std::string_view(term) != "dumb" : kTermOptional);
    const char* noColor = std::getenv("NO_COLOR");
    environment.colour = environment.progressOnTerminal && !(noColor && *noColor);
    environment.terminalColumns = platform::terminalColumns;
    return environment;
}
