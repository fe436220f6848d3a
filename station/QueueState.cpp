#include "station/QueueState.h"

#include "common/UtcTime.h"
#include "project/BuildMarker.h"
#include "station/Records.h"

std::map<std::string, RowRecords> rowRecords(const std::vector<AuditRecord>& records,
                                             const Redo& redo) {
    std::map<std::string, RowRecords> rows;
    for (const AuditRecord& record : records) {
        const Json& json = record.json;
        const std::string event = json["event"];
        if (event == "checkpoint" || event == "hook")
            continue;
        RowRecords& row = rows[json["project"].get<std::string>()];
        if (event == "start") {
            row.openStart = &json;
            row.openUpdater = nullptr;
        } else if (event == "updater") {
            if (row.openStart && sameAttempt(*row.openStart, json))
                row.openUpdater = &json;
        } else {
            if (row.openStart && sameAttempt(*row.openStart, json)) {
                const std::string outcome = json.value("outcome", "");
                if (outcome == "timeout" || outcome == "interrupted")
                    row.leftRunningUpdater = row.openUpdater;
                row.openStart = nullptr;
                row.openUpdater = nullptr;
            }
            const bool redone =
                record.line < redo.beforeLine && redo.projects.count(json["project"]) > 0;
            if (json.value("outcome", "") == "ok" && !redone)
                row.lastOk = &json;
        }
    }
    return rows;
}

bool stationRuns(const Json& start) {
    BuildMarker marker;
    marker.builder = processOf(start, "pid", "pidStart");
    marker.created = parseIsoUtc(start.value("started", "")).value_or(0) / 1000;
    return !isAbandonedBuild(marker, platform::thisHost().host, utcNowMs() / 1000);
}

bool updaterRuns(const Json& updater) {
    const platform::ProcessIdentity process = processOf(updater, "updaterPid", "updaterStarted");
    return process.host == platform::thisHost().host && platform::mayBeRunning(process);
}
