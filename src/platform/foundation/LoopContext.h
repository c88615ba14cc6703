#pragma once

#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

namespace platform {

// The event loop of one thread, as a handle that any thread may queue work to. Asynchronous work that must
// report "on the thread that began it" records the beginner's context and posts its reports there; a modal
// dialog's nested loop on that thread serves them too. Work posted after the thread has ended is dropped.
class LoopContext {
public:
    // The calling thread's context, made on first use; the same object for the thread's whole life.
    static std::shared_ptr<LoopContext> current();

    bool isCurrent() const;
    // Queues work to the thread's loop, even when called on that thread; order of posts is kept.
    void post(std::function<void()> work);
    // Runs work now when called on the thread, else queues it.
    void run(std::function<void()> work);

    LoopContext(const LoopContext&) = delete;
    LoopContext& operator=(const LoopContext&) = delete;
    ~LoopContext();

private:
    LoopContext();
    friend struct LoopContextHolder;
    void threadEnded();

    mutable std::mutex mutex;
    QThread* owner = nullptr;
    std::unique_ptr<QObject> receiver; // lives on the owner thread; gone once the thread has ended
};

} // namespace platform
