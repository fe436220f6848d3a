#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "update/UpdaterLauncher.h"

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
