#pragma once

#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "station/Station.h"

// A queue's file applied to its projects: each row checked, new projects
// made and existing ones changed, so that every project holds its row's
// values and image. The command line's apply and every station share it.

struct AppliedProject {
    enum class State { Created, Changed, Unchanged };
    std::string name;
    State state;
    std::string image;
};

// "created", "changed" or "unchanged".
const char* appliedWords(AppliedProject::State state);

struct QueueApplied {
    // Every row passed its checks, and so many there are; then every row
    // was applied too.
    bool checked = false;
    std::size_t rowCount = 0;
    bool complete = false;
    // What was applied, in the file's order; then the projects that were not.
    std::vector<AppliedProject> applied;
    std::vector<std::string> notApplied;
    // Once complete: every row as a station takes it, in the file's order.
    std::vector<QueueRow> rows;
};

// Applies the queue's text (read from file, which notices name) to the
// projects below projectsFolder. A refused row is told with its line and
// nothing is written; a failure is told and ends the writing there.
QueueApplied applyQueueFile(const std::string& projectsFolder, const std::string& file,
                            const std::string& text, QueueNotices& notices,
                            const platform::LockPause& lockPause = {});

// The counts a station says: "40 rows: 0 created, 2 changed, 38 unchanged".
std::string appliedCounts(const QueueApplied& applied);
