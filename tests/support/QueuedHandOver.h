#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "update/CommInt.h"

// A hand-over for tests without an event loop: the serial watcher's events
// wait here until the test's own thread runs them, in waitUntil.
class QueuedHandOver final : public CommEventHandOver {
  public:
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }

    // Runs the waiting events until condition holds or milliseconds have passed.
    bool waitUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            runPending();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

  private:
    void runPending() {
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(mutex_);
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};
