#pragma once

#include <chrono>
#include <mutex>
#include <string>

namespace platform::gl {

// The render road's locks, in the one order a thread may take them:
//
//   0. a thread's own GL context (Context::Use::OwnThread: a loader's, an export's), which no other thread
//      takes while it is in use;
//   1. the director's lock (a play's frame, its starts and stops);
//   2. the handle of the director's slide loader, held while a start or stop joins the loader;
//   3. the main GL context (Context::Use::Main), which the main thread takes to resize the view or draw a
//      still picture and the display link's thread takes to draw a frame of the show;
//   4. the driver lock (DriverLock: one of our threads at a time in the GL driver);
//   5. a composition renderer's own context (Context::Use::InsideFrame), taken only under the driver lock;
//   6. the caches' locks (the slide loader's, the backdrop loader's, a slide's textures);
//   7. the frame sources' locks (a clip's frame source, its reader);
//   8. the locks of single fields (a pointer read or set), under which nothing else is taken.
//
// A thread takes only locks ranked after those it holds; of those ranked alike, it holds one at a time (a
// thread's own contexts excepted: no other thread takes them). A recursive mutex may be taken again by its
// holder, any other is not. So nothing asks for the driver lock while it holds a cache's lock: entries leave
// a cache under its lock and are destroyed once it is let go (a texture's deletion is a call into the
// driver), and a wait that lets the driver lock go takes it back only after the cache's lock is let go. Nor
// does anything wait for another thread while it holds the driver lock or the main context: a wait lets both
// go (Context::waitOutsideGl) and takes them back after, the main context first.
//
// The checks run in every build, naming the locks, so that a cycle shows in a test and not as a hang in a
// user's window: a lock asked for while one ranked after it or alike is held; a lock that is not recursive
// asked for again by its holder; a wait (checkFreeToWait) while the driver lock or the main context is held;
// a join (checkFreeToJoin) while either or one ranked after the driver lock is held. They see only the ranked
// locks and the waits and joins that call them: the locks of single threads' queues stand outside the order.
// A break stops the process (every test program, every build with assertions), or, in the application's
// optimised build, is written to the log once with its stack and the run goes on (lock_order::setOnBreak),
// unless going on would hang by itself: a lock that is not recursive asked for again by its holder, a wait or
// a join with those locks held stop there in every build, with the log's report and stack. A try is checked
// as a lock is, as it takes the lock as well when the lock is free.
enum class LockRank {
    OwnContext = 0,
    Director = 1,
    LoaderHandle = 2,
    MainContext = 3,
    Driver = 4,
    RendererContext = 5,
    Cache = 6,
    FrameSource = 7,
    Field = 8
};

namespace lock_order {
// Called by RankedMutex and DriverLock; `lock` identifies the lock, `name` is its name in a report.
// `recursive`: whether its holder may take it again. willTake comes before a wait for the lock, willTry
// before a try, which does not hang where its holder asks again.
void willTake(const void* lock, LockRank rank, const char* name, bool recursive);
void willTry(const void* lock, LockRank rank, const char* name, bool recursive);
void took(const void* lock, LockRank rank, const char* name);
void released(const void* lock);

enum class OnBreak {
    Stop, // writes "Lock order <message>" and stops the process
    Log,  // writes "Vistrelle: lock order <message>" and the stack, once for each message, and goes on
};
// Stop unless set otherwise: a test must fail on a break, while a user's window should not vanish over one.
void setOnBreak(OnBreak what);
// What a check does when the order is broken. Returns only under OnBreak::Log.
void broken(const std::string& message);
// What a check does when going on would hang by itself: a window that hangs without a word is worse than a
// stop with a stack. Under OnBreak::Log, writes the log's report with the stack first.
[[noreturn]] void deadlocks(const std::string& message);
} // namespace lock_order

template <class Mutex> inline constexpr bool kRecursive = false;
template <> inline constexpr bool kRecursive<std::recursive_mutex> = true;
template <> inline constexpr bool kRecursive<std::recursive_timed_mutex> = true;

// A mutex of the render road, with its place in the order and its name. Usable with std::lock_guard,
// std::unique_lock and std::condition_variable_any.
template <class Mutex = std::mutex> class RankedMutex {
public:
    RankedMutex(LockRank rank, const char* name) : lockRank(rank), lockName(name) {}
    RankedMutex(const RankedMutex&) = delete;
    RankedMutex& operator=(const RankedMutex&) = delete;

    void lock() {
        lock_order::willTake(this, lockRank, lockName, kRecursive<Mutex>);
        mutex.lock();
        lock_order::took(this, lockRank, lockName);
    }
    bool try_lock() {
        lock_order::willTry(this, lockRank, lockName, kRecursive<Mutex>);
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
    // Stops the process when this thread holds this lock or the main context: called before a wait on
    // another thread.
    static void checkFreeToWait(const char* forWhat);
    // Stops the process when this thread holds this lock, the main context or a lock ranked after this one,
    // any of which `thread` may need to end: called before a join (platform::joinUnlessSelf).
    static void checkFreeToJoin(const char* thread);
    // The longest time one thread has held it on end, and the time it was held in all, in this process.
    static std::chrono::nanoseconds longestHold();
    static std::chrono::nanoseconds heldInAll();
};

} // namespace platform::gl
