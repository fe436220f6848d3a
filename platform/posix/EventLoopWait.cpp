#include "platform/EventLoopWait.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <vector>

void waitInEventLoop(platform::RunWait& wait, unsigned timeoutMs) {
    QEventLoop loop;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    for (const std::intptr_t descriptor : wait.waitables()) {
        auto notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        notifiers.push_back(std::move(notifier));
    }
    QTimer::singleShot(static_cast<int>(timeoutMs), &loop, &QEventLoop::quit);
    loop.exec();
    wait.acknowledge();
}
