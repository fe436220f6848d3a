#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "platform/PortClaim.h"
#include "platform/SerialApi.h"
#include "update/UpdaterLauncher.h"

// What the command line works with besides its arguments.
struct CliEnvironment {
    // The workspace unless --workspace names another: the program's folder,
    // or the user's own once installed (workspaceRootFor).
    std::string defaultWorkspace;
    std::shared_ptr<platform::SerialApi> serial;
    // Whether a progress line may be drawn on standard error.
    bool progressOnTerminal = false;
    WaitSettings wait;
    // Where the station reads the operator's answers; none: end of input.
    std::istream* input = nullptr;
    // Throws away what was typed ahead of a prompt (a terminal's input).
    std::function<void()> discardTypedAhead = {};
    // Whether a line typed at the terminal waits to be read, so that a wait
    // can take q without blocking; none: never.
    std::function<bool()> typedLineWaiting = {};
    // Whether standard input of any kind has a line (or its end) to read.
    std::function<bool()> inputWaiting = {};
    // From the call of the first on, the second counts the operator's
    // interruptions (Ctrl-C one, a hang-up two); the station's only.
    std::function<void()> watchInterruptions = {};
    std::function<int()> interruptions = {};
    // Where stations claim their devices (tests give one of their own).
    std::string claimFolder = platform::defaultClaimFolder();
    // Where a bench looks its adapters up (tests give folders of their own).
    std::string systemRoot = "/sys";
    std::string deviceRoot = "/dev";
    // Whether standard error's terminal takes a table redrawn in place (it
    // is no dumb one), and colours (NO_COLOR is not set); its columns, 0
    // when unknown.
    bool tableOnTerminal = false;
    bool colour = false;
    std::function<std::size_t()> terminalColumns = {};
    // How a wait for a project's lock is spent; empty: the thread sleeps.
    platform::LockPause lockPause = {};
};

// The environment of the program on this machine, with its ports opened
// through serial (the system's, or the tests' stand-in).
CliEnvironment systemEnvironment(std::shared_ptr<platform::SerialApi> serial);

// Runs one tarvel-cli command (arguments without the program name), writing
// results to out and messages to err. Returns the exit status: 0 done,
// 1 refused or failed, 2 a usage error.
int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                   const CliEnvironment& environment);
