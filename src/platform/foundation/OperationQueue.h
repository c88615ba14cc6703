#pragma once

#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class OperationQueue;

// Work that an OperationQueue starts when its dependencies have finished and there is room. Operations are
// concurrent: start() begins the work (typically by handing it to another thread) and returns; the
// operation calls didFinish() once it is over, which lets its queues start what waits.
class Operation : public std::enable_shared_from_this<Operation> {
public:
    // The queue priorities; a queue starts the highest ready priority first, then in order of adding.
    static constexpr int kPriorityVeryLow = -8;
    static constexpr int kPriorityLow = -4;
    static constexpr int kPriorityNormal = 0;
    static constexpr int kPriorityHigh = 4;
    static constexpr int kPriorityVeryHigh = 8;

    virtual ~Operation();
    virtual void start() = 0;
    virtual void cancel() = 0;
    virtual bool isExecuting() const = 0;
    virtual bool isFinished() const = 0;
    virtual bool isCancelled() const = 0;

    int queuePriority() const;
    void setQueuePriority(int priority);
    // This operation starts only after `other` has finished.
    void addDependency(const std::shared_ptr<Operation>& other);
    std::vector<std::shared_ptr<Operation>> dependencies() const;
    bool isReady() const;

protected:
    // Tells every queue waiting on this operation that it has finished. Call it once isFinished() answers
    // true; any thread.
    void didFinish();

private:
    friend class OperationQueue;
    struct Watcher;
    void addWatcher(const std::shared_ptr<Watcher>& watcher);

    mutable std::mutex mutex;
    int priority = kPriorityNormal;
    std::vector<std::shared_ptr<Operation>> waitsFor;
    std::vector<std::weak_ptr<Watcher>> watchers;
};

// Runs operations, at most `maxConcurrentOperationCount` at a time, each once its dependencies have
// finished, by priority. A suspended queue starts nothing new. Thread-safe.
class OperationQueue {
public:
    explicit OperationQueue(int maxConcurrentOperationCount = 1);
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(const std::shared_ptr<Operation>& operation);
    // Operations added and not yet finished.
    std::vector<std::shared_ptr<Operation>> operations() const;
    int operationCount() const;
    // Cancels every operation of the queue; each still goes through start() to end itself.
    void cancelAllOperations();

    int maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(int count);
    bool isSuspended() const;
    void setSuspended(bool suspended);

private:
    struct State;
    std::shared_ptr<State> state;
};

} // namespace platform
