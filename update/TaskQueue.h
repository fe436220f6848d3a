#pragma once

#include <deque>
#include <functional>
#include <mutex>

// Tasks handed from any thread to the one that runs them, in order, under a
// lock of the program's own (which the thread checker sees).
class TaskQueue {
  public:
    void push(std::function<void()> task) {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }

    // Runs every waiting task, also those pushed meanwhile, on this thread.
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

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};
