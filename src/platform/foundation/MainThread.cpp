#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace platform {

bool isMainThread() {
    // Without an application object there is no main event loop to hop to, so every thread counts as main.
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void runOnMainThread(std::function<void()> work) {
    if (isMainThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void runOnMainThreadAndWait(std::function<void()> work) {
    if (isMainThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::BlockingQueuedConnection);
}

} // namespace platform
