#include "platform/foundation/LoopContext.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace platform {

// Ends the context with its thread, so that work posted later is dropped instead of reaching a dead loop.
struct LoopContextHolder {
    std::shared_ptr<LoopContext> context;
    ~LoopContextHolder() {
        if (context)
            context->threadEnded();
    }
};

LoopContext::LoopContext() : owner(QThread::currentThread()), receiver(std::make_unique<QObject>()) {}

LoopContext::~LoopContext() {
    threadEnded();
}

std::shared_ptr<LoopContext> LoopContext::current() {
    thread_local LoopContextHolder holder;
    if (!holder.context)
        holder.context = std::shared_ptr<LoopContext>(new LoopContext());
    return holder.context;
}

bool LoopContext::isCurrent() const {
    return QThread::currentThread() == owner;
}

void LoopContext::post(std::function<void()> work) {
    std::lock_guard lock(mutex);
    if (receiver)
        QMetaObject::invokeMethod(receiver.get(), std::move(work), Qt::QueuedConnection);
}

void LoopContext::run(std::function<void()> work) {
    if (isCurrent())
        work();
    else
        post(std::move(work));
}

void LoopContext::threadEnded() {
    std::unique_ptr<QObject> gone;
    {
        std::lock_guard lock(mutex);
        gone = std::move(receiver);
    }
    // Deleting the receiver discards whatever was still queued to it.
}

} // namespace platform
