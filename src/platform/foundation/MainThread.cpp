#include "platform/foundation/MainThread.h"
#include "platform/gl/DriverLock.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

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
    gl::DriverLock::checkFreeToWait("the main thread"); // whose window draws under that lock
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::BlockingQueuedConnection);
}

namespace {

// The objects handed over to be destroyed on the main thread. Kept apart from the main thread's queue so
// that the run's end can destroy them without running whatever else is queued there for receivers that may
// be gone by then.
struct PendingDestructions {
    std::mutex mutex;
    std::vector<std::shared_ptr<void>> objects;
};

PendingDestructions& pendingDestructions() {
    static PendingDestructions instance;
    return instance;
}

} // namespace

void destroyOnMainThread(std::shared_ptr<void> last) {
    PendingDestructions& pending = pendingDestructions();
    {
        const std::lock_guard lock(pending.mutex);
        pending.objects.push_back(std::move(last));
    }
    runOnMainThread(destroyPendingOnMainThread);
}

void destroyPendingOnMainThread() {
    PendingDestructions& pending = pendingDestructions();
    // Destroyed with the lock let go: a project that goes lets go of its slides, which may be handed over.
    for (;;) {
        std::vector<std::shared_ptr<void>> now;
        {
            const std::lock_guard lock(pending.mutex);
            now.swap(pending.objects);
        }
        if (now.empty())
            return;
    }
}

void checkDestroyedOnMainThread(const char* what) {
    if (!isMainThread())
        gl::lock_order::broken(std::string("broken: ") + what + " destroyed off the main thread");
}

struct MainThreadGate::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
};

MainThreadGate::MainThreadGate() : state(std::make_shared<State>()) {}

MainThreadGate::~MainThreadGate() {
    close();
}

bool MainThreadGate::isOpen() const {
    const std::lock_guard lock(state->mutex);
    return state->open;
}

void MainThreadGate::close() {
    {
        const std::lock_guard lock(state->mutex);
        state->open = false;
    }
    state->changed.notify_all();
}

void MainThreadGate::post(std::function<void()> work) {
    poster().post(std::move(work));
}

void MainThreadGate::Poster::post(std::function<void()> work) const {
    runOnMainThread([shared = state, work = std::move(work)] {
        {
            const std::lock_guard lock(shared->mutex);
            if (!shared->open)
                return;
        }
        work();
    });
}

bool MainThreadGate::runAndWait(std::function<void()> work) {
    if (isMainThread()) {
        if (!isOpen())
            return false;
        work();
        return true;
    }
    gl::DriverLock::checkFreeToWait("the main thread");
    auto done = std::make_shared<bool>(false);
    post([shared = state, done, work = std::move(work)] {
        work();
        {
            const std::lock_guard lock(shared->mutex);
            *done = true;
        }
        shared->changed.notify_all();
    });
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return *done || !state->open; });
    return *done;
}

} // namespace platform
