#include "platform/media/SerialQueue.h"

#include "platform/foundation/ThreadJoin.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>

namespace platform::media {

struct SerialQueue::State {
    QString name;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool running = false; // a job is being run
    bool stopping = false;

    void runJobs() {
        // Thread names are limited to 15 bytes; they help in a debugger and in crash reports.
        pthread_setname_np(pthread_self(), name.left(15).toUtf8().constData());
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty())
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            running = false;
            changed.notify_all();
        }
    }
};

SerialQueue::SerialQueue(QString name) : state(std::make_shared<State>()) {
    state->name = std::move(name);
    worker = std::thread([shared = state] { shared->runJobs(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(state->mutex);
        state->stopping = true;
    }
    state->changed.notify_all();
    // A job may let go of its own queue: the loop then ends after the remaining jobs.
    joinUnlessSelf(worker, "a serial queue's worker");
}

QString SerialQueue::name() const {
    return state->name;
}

void SerialQueue::post(std::function<void()> job) {
    {
        std::lock_guard lock(state->mutex);
        state->jobs.push_back(std::move(job));
    }
    state->changed.notify_all();
}

void SerialQueue::waitUntilIdle() {
    if (isCurrentThread())
        return;
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [this] { return state->jobs.empty() && !state->running; });
}

bool SerialQueue::isCurrentThread() const {
    return std::this_thread::get_id() == worker.get_id();
}

} // namespace platform::media
