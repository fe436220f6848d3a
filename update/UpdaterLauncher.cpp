#include "update/UpdaterLauncher.h"

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/SerialNames.h"

namespace {

constexpr unsigned kPauseMs = 10;

}  // namespace

std::string updaterProgramPath(const std::string& workspaceRoot) {
    return workspaceRoot + platform::kPathSeparator + "Ser_40917_Update.exe";
}

std::string updaterParameters(const std::string& portText, const UpdateOptions& options,
                              const std::string& workspaceRoot, const std::string& projectFolder) {
    const std::string sep(1, platform::kPathSeparator);
    std::string parameters = platform::updaterPortPath(portText) + " ";
    parameters += options.firmware ? "FW " : "NO ";
    parameters += options.readFirmware ? "FR " : "NO ";
    parameters += options.project ? "PW " : "NO ";
    parameters += options.readProject ? "PR " : "NO ";
    parameters += "\"" + workspaceRoot + sep + "MASTER" + sep + "sim40917.sim\" ";
    parameters += "\"" + projectFolder + sep + "bin" + sep + "\"";
    return parameters;
}

void runAndWait(const std::string& program, const std::string& parameters, bool hidden,
                const WaitSettings& settings) {
    const auto now = settings.tickCount ? settings.tickCount : platform::tickCount;
    platform::NamedEvent event("HandleCed");
    const auto launched = platform::launchProgram(program, parameters, hidden);
    event.reset();
    if (!launched)
        return;
    const std::uint32_t start = now();
    while (!launched->hasEnded()) {
        // Unsigned difference: a wrap-around of the clock does no harm.
        if (static_cast<std::uint32_t>(now() - start) >= settings.timeLimitMs)
            return;
        event.waitFor(kPauseMs);
    }
}
