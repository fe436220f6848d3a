#include "station/Claims.h"

#include "common/UtcTime.h"
#include "platform/PortClaim.h"
#include "platform/ProcessIdentity.h"
#include "station/Records.h"

bool claimRow(AuditLog& log, const Redo& redo, const Json& start) {
    const auto records = rowRecords(log.records(), redo);
    const auto found = records.find(start["project"].get<std::string>());
    if (found != records.end() && (found->second.lastOk || found->second.openStart))
        return false;
    log.append(start);
    return true;
}

namespace {

// A station claims the device before it records a start, and its updater
// holds the claim as long as it runs: a device nobody claims is idle. Where
// no claim can be made here, the station's process alone tells.
bool attemptMayRun(const Json& start, const std::string& claimFolder) {
    if (!stationRuns(start))
        return false;
    if (claimFolder.empty() || start["host"] != platform::thisHost().host)
        return true;
    const auto probe = platform::claimPort(claimFolder, start["device"], "a check of the log");
    return !probe.claim;
}

}  // namespace

std::vector<InterruptedAttempt> recordInterruptedAttempts(AuditLog& log, const Redo& redo,
                                                          const std::string& claimFolder) {
    std::vector<InterruptedAttempt> interrupted;
    for (const auto& [project, row] : rowRecords(log.records(), redo)) {
        if (!row.openStart || attemptMayRun(*row.openStart, claimFolder))
            continue;
        InterruptedAttempt attempt{*row.openStart, std::nullopt};
        if (row.openUpdater && updaterRuns(*row.openUpdater))
            attempt.runningUpdater = *row.openUpdater;
        interrupted.push_back(std::move(attempt));
    }
    // Appended after the walk: an append moves the records it pointed into.
    for (const InterruptedAttempt& attempt : interrupted) {
        Json result = attempt.start;
        result["event"] = "result";
        result["outcome"] = "interrupted";
        result["exitCode"] = nullptr;
        result["ended"] = isoUtc(utcNowMs());
        result["output"] = "";
        result["recordedBy"] = stationIdentity();
        log.append(result);
    }
    return interrupted;
}
