#pragma once

#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "project/ProjectLock.h"
#include "update/UpdaterCommandLine.h"
#include "update/UpdaterLauncher.h"

// The pieces of one attempt that the station and update share: the image,
// written under the project's lock right before the updater reads it, and
// the updater's run.

struct WrittenImage {
    // Held until the updater has read the image: no writer changes it
    // between the write and the read, so the record names what was read.
    ProjectLock lock;
    std::string bytes;
    // A line for each value that did not fit its field.
    std::vector<std::string> truncations;
};

// Takes the project's lock (its waits spent in pause), builds the project's
// image from its pargen.xml and writes bin/bank.bin. Raises AppError.
WrittenImage writeImageForUpdater(const std::string& folder, const std::string& name,
                                  const platform::LockPause& pause);

// Starts the updater of the workspace on port for the project in folder and
// waits as settings say.
RunOutcome runUpdater(const std::string& workspaceRoot, const std::string& port,
                      const UpdateOptions& options, const std::string& folder,
                      const WaitSettings& settings);
