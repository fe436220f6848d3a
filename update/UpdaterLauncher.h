#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/ProcessLauncher.h"

// How long run-and-wait waits, the clock it reads, and what it does between
// two looks at the program.
struct WaitSettings {
    std::uint32_t timeLimitMs = 150000;
    std::function<std::uint32_t()> tickCount = {};
    // Called after every look with the time waited so far.
    std::function<void(std::uint32_t elapsedMs)> whileWaiting = {};
    // Asked after every look: true gives the wait up, the program left running.
    std::function<bool()> giveUp = {};
    // Called once the program exists, as it starts (on Windows the shell may
    // have shown its own box before).
    std::function<void(platform::LaunchedProgram& program)> onLaunched = {};
    // Where the program's standard output and error go (appended); empty:
    // where this program's go.
    std::string outputFile = {};
    bool outputToStandardError = false;
    // A locked file the program holds too while it runs (POSIX): a port
    // claim that outlives its station for as long as the updater runs.
    std::intptr_t heldLock = -1;
    // Waits at most so many milliseconds for the program's end or its event;
    // the windows wait inside their event loop. Empty: RunWait::wait.
    std::function<void(platform::RunWait& wait, unsigned timeoutMs)> waitForWake = {};
};

// How a run ended.
struct RunOutcome {
    // LeftRunning: the wait was given up before the program ended or its
    // time was up; the program goes on.
    enum class Kind { NotStarted, Ended, StillRunning, LeftRunning };
    Kind kind = Kind::NotStarted;
    int exitCode = 0;  // when Ended
    std::uint32_t timeLimitMs = 0;
    // A failed launch that the platform did not show the operator itself.
    std::string launchError;
    bool operator==(const RunOutcome&) const = default;
};

// "Updater ended with exit code N", "Updater still running after N s",
// "Updater left running" or "Updater could not be started".
std::string outcomeText(const RunOutcome& outcome);

// "Updater running… N s".
std::string runningText(std::uint32_t elapsedMs);

// Starts the program and returns when it has ended or the time limit has
// passed. It wakes when the program ends, when the event "HandleCed" is
// signalled, and once a second for whileWaiting; it never polls. The exit code
// is reported, never acted on; the program is never touched.
RunOutcome runAndWait(const std::string& program, const platform::ProgramArguments& arguments,
                      bool hidden, const WaitSettings& settings);
