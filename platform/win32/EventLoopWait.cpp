#include "platform/EventLoopWait.h"

#include <QEventLoop>
#include <QTimer>
#include <QWinEventNotifier>
#include <memory>
#include <vector>

void waitInEventLoop(platform::RunWait& wait, unsigned timeoutMs) {
    QEventLoop loop;
    std::vector<std::unique_ptr<QWinEventNotifier>> notifiers;
    for (const std::intptr_t handle : wait.waitables()) {
        auto notifier = std::make_unique<QWinEventNotifier>(reinterpret_cast<Qt::HANDLE>(handle));
        QObject::connect(notifier.get(), &QWinEventNotifier::activated, &loop, &QEventLoop::quit);
        notifiers.push_back(std::move(notifier));
    }
    QTimer::singleShot(static_cast<int>(timeoutMs), &loop, &QEventLoop::quit);
    loop.exec();
    wait.acknowledge();
}
