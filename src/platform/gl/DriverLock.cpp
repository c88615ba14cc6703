#include "platform/gl/DriverLock.h"

#include <execinfo.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

namespace platform::gl {

namespace {

constexpr const char* kDriverLockName = "the GL driver lock";

// A ticket lock: each taker draws the next number and goes in when it is served.
struct Gate {
    std::mutex mutex;
    std::condition_variable served;
    std::uint64_t nextTicket = 0;
    std::uint64_t serving = 0;
};

Gate& gate() {
    static Gate instance;
    return instance;
}

std::atomic<std::int64_t> longestHoldNanoseconds{0};
std::atomic<std::int64_t> heldNanoseconds{0};

thread_local int holdsHere = 0;
thread_local std::chrono::steady_clock::time_point heldSince;

struct Held {
    const void* lock;
    LockRank rank;
    const char* name;
    int count;
};

// The ranked locks this thread holds, in the order it took them. Trivially destructible, so that it outlives
// every use: a thread's thread-local objects are destroyed before the statics its exit destroys, and those
// may still take ranked locks (the main thread's, after main returns).
constexpr int kMostHeld = 16;
thread_local Held heldHere[kMostHeld];
thread_local int heldCount = 0;

const Held* heldBegin() {
    return heldHere;
}
const Held* heldEnd() {
    return heldHere + heldCount;
}

void orderBroken(const char* asked, const char* held) {
    lock_order::broken(std::string("broken: ") + asked + " asked for while " + held + " is held");
}

// The first lock this thread holds of those `counts`, the driver lock first; null when none.
template <class Counts> const char* firstHeld(Counts counts) {
    if (holdsHere > 0)
        return kDriverLockName;
    for (const Held* held = heldBegin(); held != heldEnd(); ++held)
        if (counts(held->rank))
            return held->name;
    return nullptr;
}

// Stops when this thread holds a lock ranked after `rank`, or another ranked alike (but for a thread's own
// contexts, which nobody else takes). `passing` is a rank whose locks may be held all the same.
void checkNothingLaterHeld(const void* lock, LockRank rank, const char* asked,
                           std::optional<LockRank> passing = std::nullopt) {
    for (const Held* held = heldBegin(); held != heldEnd(); ++held) {
        const bool alike = held->rank == rank && rank != LockRank::OwnContext;
        if (held->lock != lock && (held->rank > rank || alike) && held->rank != passing)
            orderBroken(asked, held->name);
    }
}

void enter() {
    checkNothingLaterHeld(nullptr, LockRank::Driver, kDriverLockName);
    Gate& g = gate();
    std::unique_lock lock(g.mutex);
    const std::uint64_t ticket = g.nextTicket++;
    g.served.wait(lock, [&] { return g.serving == ticket; });
    heldSince = std::chrono::steady_clock::now();
}

void leave() {
    const auto held =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - heldSince)
            .count();
    heldNanoseconds.fetch_add(held, std::memory_order_relaxed);
    std::int64_t longest = longestHoldNanoseconds.load(std::memory_order_relaxed);
    while (held > longest && !longestHoldNanoseconds.compare_exchange_weak(longest, held))
        ;
    Gate& g = gate();
    {
        const std::lock_guard lock(g.mutex);
        ++g.serving;
    }
    g.served.notify_all();
}

} // namespace

namespace lock_order {

namespace {

std::atomic<OnBreak> breakHandling{OnBreak::Stop};

// Once for each message: a break met on every frame would otherwise fill the log.
bool firstTimeLogged(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> logged;
    const std::lock_guard lock(mutex);
    return logged.insert(message).second;
}

[[noreturn]] void stop(const std::string& message) {
    std::fprintf(stderr, "Lock order %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

void logWithStack(const std::string& message, const char* then) {
    std::fprintf(stderr, "Vistrelle: lock order %s; %s. Where:\n", message.c_str(), then);
    std::fflush(stderr);
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
}

// `waits`: a lock waits for its holder, a try does not.
void checkTake(const void* lock, LockRank rank, const char* name, bool recursive, bool waits) {
    const bool again = std::any_of(heldBegin(), heldEnd(), [&](const Held& h) { return h.lock == lock; });
    if (again) {
        if (recursive)
            return; // waits for nobody
        const std::string message =
            std::string("broken: ") + name + " asked for again by the thread that holds it";
        if (waits)
            deadlocks(message);
        broken(message);
        return;
    }
    checkNothingLaterHeld(lock, rank, name);
    if (rank < LockRank::Driver && holdsHere > 0)
        orderBroken(name, kDriverLockName);
}

} // namespace

void willTake(const void* lock, LockRank rank, const char* name, bool recursive) {
    checkTake(lock, rank, name, recursive, true);
}

void willTry(const void* lock, LockRank rank, const char* name, bool recursive) {
    checkTake(lock, rank, name, recursive, false);
}

void took(const void* lock, LockRank rank, const char* name) {
    for (int i = 0; i < heldCount; ++i)
        if (heldHere[i].lock == lock) {
            ++heldHere[i].count;
            return;
        }
    if (heldCount == kMostHeld) {
        broken(std::string("unchecked: ") + name + " taken while " + std::to_string(kMostHeld) +
               " ranked locks are held, as many as the checker keeps");
        return; // left out of the order's checks from here on
    }
    heldHere[heldCount++] = Held{lock, rank, name, 1};
}

void released(const void* lock) {
    for (int i = heldCount - 1; i >= 0; --i)
        if (heldHere[i].lock == lock) {
            if (--heldHere[i].count == 0) {
                std::copy(heldHere + i + 1, heldHere + heldCount, heldHere + i);
                --heldCount;
            }
            return;
        }
}

void setOnBreak(OnBreak what) {
    breakHandling = what;
}

void broken(const std::string& message) {
    if (breakHandling.load() == OnBreak::Stop)
        stop(message);
    if (firstTimeLogged(message))
        logWithStack(message, "going on");
}

void deadlocks(const std::string& message) {
    if (breakHandling.load() == OnBreak::Stop)
        stop(message);
    logWithStack(message, "stopping");
    std::abort();
}

} // namespace lock_order

DriverLock::DriverLock() {
    // Asked for even when held: the same code runs where the caller holds it and where it does not. Not so
    // inside a composition renderer's context, which is only ever taken under it.
    if (holdsHere == 0)
        enter();
    else
        checkNothingLaterHeld(nullptr, LockRank::Driver, kDriverLockName, LockRank::RendererContext);
    ++holdsHere;
}

DriverLock::~DriverLock() {
    if (--holdsHere == 0)
        leave();
}

DriverLock::Released::Released() : holds(holdsHere) {
    if (holds > 0) {
        holdsHere = 0;
        leave();
    }
}

DriverLock::Released::~Released() {
    if (holds > 0) {
        enter();
        holdsHere = holds;
    }
}

bool DriverLock::isHeldHere() {
    return holdsHere > 0;
}

// A wait or a join with those locks held goes on into the hang it foresees: the other thread, or the main
// thread that it waits for in turn, needs one of them before it can end.
void DriverLock::checkFreeToWait(const char* forWhat) {
    if (const char* held = firstHeld([](LockRank rank) { return rank == LockRank::MainContext; }))
        lock_order::deadlocks(std::string("broken: a wait for ") + forWhat + " while " + held + " is held");
}

void DriverLock::checkFreeToJoin(const char* thread) {
    if (const char* held =
            firstHeld([](LockRank rank) { return rank > LockRank::Driver || rank == LockRank::MainContext; }))
        lock_order::deadlocks(std::string("broken: a join of ") + thread + " while " + held + " is held");
}

std::chrono::nanoseconds DriverLock::longestHold() {
    return std::chrono::nanoseconds(longestHoldNanoseconds.load());
}

std::chrono::nanoseconds DriverLock::heldInAll() {
    return std::chrono::nanoseconds(heldNanoseconds.load());
}

} // namespace platform::gl
