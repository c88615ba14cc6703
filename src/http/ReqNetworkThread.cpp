#include "http/ReqNetworkThread.h"

#include "http/ReqClassState.h"
#include "platform/net/HttpReadStream.h"

#include <QCoreApplication>
#include <QThread>

#include <future>

namespace {

class LoopThread : public QThread {
public:
    std::promise<std::shared_ptr<platform::net::RunLoop>> ready;

protected:
    void run() override {
        ready.set_value(platform::net::qtRunLoopForCurrentThread());
        exec();
    }
};

struct ThreadSlot {
    std::mutex mutex;
    std::unique_ptr<LoopThread> thread;
    std::shared_ptr<platform::net::RunLoop> loop;
    bool routineAdded = false;
};

ThreadSlot& slot() {
    static ThreadSlot shared;
    return shared;
}

void stopAtExit() {
    ReqNetworkThread::stop();
}

} // namespace

std::shared_ptr<platform::net::RunLoop> ReqNetworkThread::runLoop() {
    ThreadSlot& s = slot();
    std::lock_guard lock(s.mutex);
    if (s.thread && s.thread->isRunning() && s.loop)
        return s.loop;
    if (s.thread)
        s.thread->wait();
    s.thread = std::make_unique<LoopThread>();
    s.thread->setObjectName(QStringLiteral("ReqHTTPRequest network thread"));
    auto loopReady = s.thread->ready.get_future();
    s.thread->start();
    s.loop = loopReady.get();
    if (!s.routineAdded && QCoreApplication::instance()) {
        qAddPostRoutine(stopAtExit);
        s.routineAdded = true;
    }
    return s.loop;
}

void ReqNetworkThread::stop() {
    ThreadSlot& s = slot();
    std::unique_ptr<LoopThread> thread;
    std::shared_ptr<platform::net::RunLoop> loop;
    {
        std::lock_guard lock(s.mutex);
        thread = std::move(s.thread);
        loop = std::move(s.loop);
    }
    if (!thread)
        return;
    if (thread.get() == QThread::currentThread()) {
        // Asked from its own loop: it ends when this turn is over, and is joined when the next one starts.
        thread->quit();
        std::lock_guard lock(s.mutex);
        s.thread = std::move(thread);
        return;
    }
    // Idle kept connections belong to the thread's loop: closed there before it ends.
    loop->post([] {
        ReqClassState& state = ReqClassState::shared();
        std::lock_guard poolLock(state.poolLock);
        for (const auto& record : state.connectionPool)
            if (!record->request && record->stream)
                record->stream->close();
        std::erase_if(state.connectionPool, [](const auto& record) { return !record->request; });
        QThread::currentThread()->quit();
    });
    thread->wait();
}

bool ReqNetworkThread::isRunning() {
    ThreadSlot& s = slot();
    std::lock_guard lock(s.mutex);
    return s.thread && s.thread->isRunning();
}
