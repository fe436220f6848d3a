#include "update/MainThreadHandOver.h"

#include <QCoreApplication>

#include "update/TaskQueue.h"

namespace {

// The tasks cross threads through a queue of the program's own; Qt's queue
// carries only the wake-up.
class MainThreadHandOver final : public CommEventHandOver {
  public:
    void post(std::function<void()> task) override {
        tasks_.push(std::move(task));
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { tasks_.runPending(); }, Qt::QueuedConnection);
    }

  private:
    TaskQueue tasks_;
};

}  // namespace

std::shared_ptr<CommEventHandOver> mainThreadHandOver() {
    static const auto handOver = std::make_shared<MainThreadHandOver>();
    return handOver;
}
