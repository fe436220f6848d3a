#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "station/AuditLog.h"

// What the log tells of one project: records of the log, valid until the
// next append. A row is done with lastOk, claimed while openStart lasts, and
// pending otherwise.
struct RowRecords {
    const Json* lastOk = nullptr;
    const Json* openStart = nullptr;    // a start without its result
    const Json* openUpdater = nullptr;  // that attempt's updater
    // The updater of an attempt that timed out or was interrupted: it may run.
    const Json* leftRunningUpdater = nullptr;
};

// Projects to write again although they were done: their ok records before
// the line count as not done.
struct Redo {
    std::set<std::string> projects;
    std::size_t beforeLine = 0;
};

// Each project's records, in the log's order.
std::map<std::string, RowRecords> rowRecords(const std::vector<AuditRecord>& records,
                                             const Redo& redo);

// Whether the station that wrote a start may still run: on this host,
// unless its process has surely ended; on another, for a day.
bool stationRuns(const Json& start);

// Whether an attempt's updater may still run on this host.
bool updaterRuns(const Json& updater);
