#include "platform/foundation/OperationQueue.h"

#include <algorithm>
#include <functional>

namespace platform {

struct Operation::Watcher {
    std::function<void()> changed;
};

Operation::~Operation() = default;

int Operation::queuePriority() const {
    std::lock_guard lock(mutex);
    return priority;
}

void Operation::setQueuePriority(int value) {
    std::lock_guard lock(mutex);
    priority = value;
}

void Operation::addDependency(const std::shared_ptr<Operation>& other) {
    std::lock_guard lock(mutex);
    if (other && other.get() != this)
        waitsFor.push_back(other);
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(mutex);
    return waitsFor;
}

bool Operation::isReady() const {
    if (isCancelled())
        return true; // it only has to end itself
    for (const auto& dependency : dependencies())
        if (!dependency->isFinished())
            return false;
    return true;
}

void Operation::addWatcher(const std::shared_ptr<Watcher>& watcher) {
    std::lock_guard lock(mutex);
    watchers.push_back(watcher);
}

void Operation::didFinish() {
    std::vector<std::weak_ptr<Watcher>> toTell;
    {
        std::lock_guard lock(mutex);
        toTell = watchers;
    }
    for (const auto& weak : toTell)
        if (const auto watcher = weak.lock())
            watcher->changed();
}

struct OperationQueue::State : std::enable_shared_from_this<OperationQueue::State> {
    mutable std::mutex mutex;
    int maximum = 1;
    bool suspended = false;
    std::vector<std::shared_ptr<Operation>> waiting; // in order of adding
    std::vector<std::shared_ptr<Operation>> started;
    std::shared_ptr<Operation::Watcher> watcher = std::make_shared<Operation::Watcher>();

    std::shared_ptr<Operation> next() {
        std::lock_guard lock(mutex);
        std::erase_if(started, [](const auto& operation) { return operation->isFinished(); });
        if (suspended || (maximum >= 0 && int(started.size()) >= maximum))
            return nullptr;
        auto best = waiting.end();
        for (auto it = waiting.begin(); it != waiting.end(); ++it)
            if ((*it)->isReady() &&
                (best == waiting.end() || (*it)->queuePriority() > (*best)->queuePriority()))
                best = it;
        if (best == waiting.end())
            return nullptr;
        std::shared_ptr<Operation> chosen = *best;
        waiting.erase(best);
        started.push_back(chosen);
        return chosen;
    }

    void pump() {
        while (const std::shared_ptr<Operation> operation = next())
            operation->start();
    }
};

OperationQueue::OperationQueue(int maxConcurrentOperationCount) : state(std::make_shared<State>()) {
    state->maximum = maxConcurrentOperationCount;
    state->watcher->changed = [weak = std::weak_ptr<State>(state)] {
        if (const auto shared = weak.lock())
            shared->pump();
    };
}

OperationQueue::~OperationQueue() = default;

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
    if (!operation)
        return;
    {
        std::lock_guard lock(state->mutex);
        state->waiting.push_back(operation);
    }
    operation->addWatcher(state->watcher);
    for (const auto& dependency : operation->dependencies())
        dependency->addWatcher(state->watcher);
    state->pump();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(state->mutex);
    std::vector<std::shared_ptr<Operation>> all = state->waiting;
    for (const auto& operation : state->started)
        if (!operation->isFinished())
            all.push_back(operation);
    return all;
}

int OperationQueue::operationCount() const {
    return int(operations().size());
}

void OperationQueue::cancelAllOperations() {
    for (const auto& operation : operations())
        operation->cancel();
    state->pump();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(state->mutex);
    return state->maximum;
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(state->mutex);
        state->maximum = count;
    }
    state->pump();
}

bool OperationQueue::isSuspended() const {
    std::lock_guard lock(state->mutex);
    return state->suspended;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(state->mutex);
        state->suspended = suspended;
    }
    state->pump();
}

} // namespace platform
