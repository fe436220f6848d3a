#pragma once

#include <string>
#include <vector>

#include "station/AuditLog.h"
#include "station/QueueState.h"

// A row is claimed by appending its start record: under the log's lock, and
// only while no station has done it or claims it.

// With the log locked: appends start unless the project is done or claimed.
bool claimRow(AuditLog& log, const Redo& redo, const Json& start);

// An attempt of a station that has surely ended, now recorded "interrupted".
struct InterruptedAttempt {
    Json start;
    // Its updater, when it may still run: its port is left alone until then.
    std::optional<Json> runningUpdater;
};

// With the log locked: records the result "interrupted" for each open start
// of a station that no longer runs, so that its row is pending again. On
// this host, a start whose device nobody claims in claimFolder is let go
// too: neither its station nor its updater can be at work, whatever process
// its pid names now (a start forged with the pid of one that never ends).
std::vector<InterruptedAttempt> recordInterruptedAttempts(AuditLog& log, const Redo& redo,
                                                          const std::string& claimFolder);
