#pragma once

#include <chrono>
#include <mutex>

namespace platform::gl {

// The render road's locks, in the one order a thread may take them:
//
//   1. the director's lock (a play's frame, its starts and stops);
//   2. the driver lock (DriverLock: one of our threads at a time in the GL driver);
//   3. the caches' locks (the slide loader's, the backdrop loader's, a slide's textures) and the frame
//      sources' locks (a clip's reader, a composition's renderer).
//
// A thread takes only locks ranked after those it holds (or one it already holds). So nothing asks for the
// driver lock while it holds a cache's lock: entries leave a cache under its lock and are destroyed once it
// is let go (a texture's deletion is a call into the driver), and a wait that lets the driver lock go takes
// it back only after the cache's lock is let go. Nor does anything wait for another thread while it holds
// the driver lock: it lets go for the wait and takes the lock back for the GL call.
//
// The order is checked, in every build: a thread that asks for a lock while it holds one ranked after it,
// or that waits for another thread while it holds the driver lock, stops the process with the names of
// both, so that a cycle shows in a test and not as a hang in a user's window.
enum class LockRank { Director = 1, Driver = 2, Cache = 3, FrameSource = 3 };

namespace lock_order {
// Called by RankedMutex and DriverLock; `lock` identifies the lock, `name` is its name in a report.
void willTake(const void* lock, LockRank rank, const char* name);
void took(const void* lock, LockRank rank, const char* name);
void released(const void* lock);
} // namespace lock_order

// A mutex of the render road, with its place in the order and its name. Usable with std::lock_guard,
// std::unique_lock and std::condition_variable_any.
template <class Mutex = std::mutex> class RankedMutex {
public:
    RankedMutex(LockRank rank, const char* name) : lockRank(rank), lockName(name) {}
    RankedMutex(const RankedMutex&) = delete;
    RankedMutex& operator=(const RankedMutex&) = delete;

    void lock() {
        lock_order::willTake(this, lockRank, lockName);
        mutex.lock();
        lock_order::took(this, lockRank, lockName);
    }
    bool try_lock() {
        if (!mutex.try_lock())
            return false;
        lock_order::took(this, lockRank, lockName);
        return true;
    }
    void unlock() {
        lock_order::released(this);
        mutex.unlock();
    }
    const char* name() const { return lockName; }

private:
    Mutex mutex;
    LockRank lockRank;
    const char* lockName;
};

// Lets one of our threads at a time into the GL driver. The software rasteriser lets a context that maps a
// texture (an upload, a read-back) or binds one for sampling walk every other context's drawing state,
// without a lock, while each context's own thread frees and rebuilds that state as it draws: a loader
// uploading a picture while the player draws a frame could read freed memory and crash. So every call into
// the driver is made under this lock: drawing, uploads, read-backs, deletions, making a context current,
// making and destroying contexts.
//
// Waiters get in in the order they asked, so that a player drawing frame after frame cannot keep a loader
// out. A thread may take it again while it holds it.
class DriverLock {
public:
    DriverLock();
    ~DriverLock();
    DriverLock(const DriverLock&) = delete;
    DriverLock& operator=(const DriverLock&) = delete;

    // Lets go of every one of this thread's holds (if any) for its lifetime and takes them all back after:
    // for a wait on another thread, which may need the lock to finish.
    class Released {
    public:
        Released();
        ~Released();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

    private:
        int holds;
    };

    static bool isHeldHere();
    // Stops the process when this thread holds the lock: called before a wait on another thread.
    static void checkFreeToWait(const char* forWhat);
    // Threads waiting to get in.
    static int waiting();
    // The longest time one thread has held it on end, and the time it was held in all, in this process.
    static std::chrono::nanoseconds longestHold();
    static std::chrono::nanoseconds heldInAll();
};

// Runs wait(lock), a wait for another thread under `lock` (a unique_lock of a lock ranked after the driver
// lock, held on entry and on return), with the driver lock let go when this thread holds it. The driver
// lock is taken back only once `lock` is let go, then `lock` again: what it guards may have changed.
template <class Lock, class Wait> void waitWithDriverLetGo(Lock& lock, Wait wait) {
    if (!DriverLock::isHeldHere()) {
        wait(lock);
        return;
    }
    lock.unlock();
    {
        const DriverLock::Released forTheOthers;
        Lock waiting(*lock.mutex());
        wait(waiting);
    }
    lock.lock();
}

} // namespace platform::gl
