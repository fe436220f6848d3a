#include "update/MainThreadHandOver.h"

#include <QCoreApplication>
#include <deque>
#include <mutex>

namespace {

// The tasks cross threads through a queue of the program's own, under a lock
// that the thread checker sees; Qt's queue carries only the wake-up.
class MainThreadHandOver final : public CommEventHandOver {
  public:
    void post(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { runPending(); }, Qt::QueuedConnection);
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

}  // namespace

std::shared_ptr<CommEventHandOver> mainThreadHandOver() {
    static const auto handOver = std::make_shared<MainThreadHandOver>();
    return handOver;
}
