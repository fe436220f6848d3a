#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "update/CommInt.h"
#include "update/TaskQueue.h"

// A hand-over for tests without an event loop: the serial watcher's events
// wait here until the test's own thread runs them, in waitUntil.
class QueuedHandOver final : public CommEventHandOver {
  public:
    void post(std::function<void()> task) override { tasks_.push(std::move(task)); }

    // Runs the waiting events until condition holds or milliseconds have passed.
    bool waitUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            tasks_.runPending();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

  private:
    TaskQueue tasks_;
};
