#include "update/UpdaterLauncher.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kSecondMs = 1000;

}  // namespace

std::string outcomeText(const RunOutcome& outcome) {
    switch (outcome.kind) {
        case RunOutcome::Kind::Ended:
            return "Updater ended with exit code " + std::to_string(outcome.exitCode);
        case RunOutcome::Kind::StillRunning:
            return "Updater still running after " + std::to_string(outcome.timeLimitMs / 1000) +
                   " s";
        case RunOutcome::Kind::LeftRunning:
            return "Updater left running";
        case RunOutcome::Kind::NotStarted:
            break;
    }
    return "Updater could not be started";
}

std::string runningText(std::uint32_t elapsedMs) {
    return "Updater running\u2026 " + std::to_string(elapsedMs / 1000) + " s";
}

RunOutcome runAndWait(const std::string& program, const platform::ProgramArguments& arguments,
                      bool hidden, const WaitSettings& settings) {
    const auto now = settings.tickCount ? settings.tickCount : platform::tickCount;
    platform::NamedEvent event("HandleCed");
    RunOutcome notStarted;
    const auto launched =
        platform::launchProgram(program, arguments, hidden, notStarted.launchError,
                                {settings.outputFile, settings.outputToStandardError,
                                 settings.heldLock, settings.onLaunched});
    event.reset();
    if (!launched)
        return notStarted;
    platform::RunWait wakes(*launched, event);
    const std::uint32_t start = now();
    for (;;) {
        const auto code = launched->exitCode();
        // Unsigned difference: a wrap-around of the clock does no harm.
        const auto elapsed = static_cast<std::uint32_t>(now() - start);
        if (code)
            return {RunOutcome::Kind::Ended, *code, settings.timeLimitMs, {}};
        if (elapsed >= settings.timeLimitMs)
            return {RunOutcome::Kind::StillRunning, 0, settings.timeLimitMs, {}};
        if (settings.whileWaiting)
            settings.whileWaiting(elapsed);
        if (settings.giveUp && settings.giveUp())
            return {RunOutcome::Kind::LeftRunning, 0, settings.timeLimitMs, {}};
        // Up to the next whole second, for the status line, or the limit.
        const unsigned pause = std::min<std::uint32_t>(kSecondMs - elapsed % kSecondMs,
                                                       settings.timeLimitMs - elapsed);
        if (settings.waitForWake)
            settings.waitForWake(wakes, pause);
        else
            wakes.wait(pause);
    }
}
