#include "update/MainThreadHandOver.h"

#include <QCoreApplication>

namespace {

class MainThreadHandOver final : public CommEventHandOver {
  public:
    void post(std::function<void()> task) override {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    }
};

}  // namespace

std::shared_ptr<CommEventHandOver> mainThreadHandOver() {
    static const auto handOver = std::make_shared<MainThreadHandOver>();
    return handOver;
}
