#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "update/UpdaterLauncher.h"

// What the dialogs ask of the main window, each handed over once when the
// dialog is built, so that no dialog reaches for the main window itself.

// The run-and-wait of an updater, for the serial update wizard.
class UpdaterRunner {
  public:
    virtual ~UpdaterRunner() = default;
    // Starts program and waits until it ends or the time limit has passed.
    // Meanwhile every window keeps painting, all operator input is thrown
    // away, and progress is called with the time waited so far.
    virtual RunOutcome RunAndWait(const std::string& program,
                                  const platform::ProgramArguments& arguments, bool hidden,
                                  const std::function<void(std::uint32_t elapsedMs)>& progress) = 0;
};

// The recomputing of the document paths after the project folder changed,
// for New project.
class ProjectPathsKeeper {
  public:
    virtual ~ProjectPathsKeeper() = default;
    virtual void SetProjectPaths() = 0;
};
