#include "webservice/BaseClasses/DSParseQueue.h"

#include "platform/foundation/ThreadJoin.h"

#include <condition_variable>
#include <deque>
#include <mutex>

struct DSParseQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> operations;
    bool stopping = false;
};

DSParseQueue::DSParseQueue() : state(std::make_shared<State>()) {}

DSParseQueue::~DSParseQueue() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(state->mutex);
        state->stopping = true;
        dropped.swap(state->operations);
    }
    state->wake.notify_all();
    // An operation may hold the last reference to the service that owns this queue.
    platform::joinUnlessSelf(worker);
}

void DSParseQueue::addOperation(std::function<void()> operation) {
    {
        std::lock_guard lock(state->mutex);
        if (state->stopping)
            return;
        state->operations.push_back(std::move(operation));
        if (!worker.joinable())
            worker = std::thread(&DSParseQueue::run, state);
    }
    state->wake.notify_one();
}

void DSParseQueue::run(const std::shared_ptr<State>& state) {
    for (;;) {
        std::function<void()> operation;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->operations.empty(); });
            if (state->stopping)
                return;
            operation = std::move(state->operations.front());
            state->operations.pop_front();
        }
        operation();
    }
}
