#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace platform {

// Waits on `changed` under `lock` until done() holds, asking `cancelled` every `poll`. The cancel test runs
// with the lock released, as it may take locks of its own. False when the cancel test said so first.
template <class Lock, class Condition, class Done>
bool waitUnlessCancelled(Lock& lock, Condition& changed, std::chrono::milliseconds poll,
                         const std::function<bool()>& cancelled, Done done) {
    while (!done()) {
        lock.unlock();
        const bool stop = cancelled && cancelled();
        lock.lock();
        if (stop)
            return false;
        changed.wait_for(lock, poll, done);
    }
    return true;
}

} // namespace platform
