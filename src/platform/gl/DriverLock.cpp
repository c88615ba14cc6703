#include "platform/gl/DriverLock.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace platform::gl {

namespace {

constexpr const char* kDriverLockName = "the GL driver lock";

// A ticket lock: each taker draws the next number and goes in when it is served.
struct Gate {
    std::mutex mutex;
    std::condition_variable served;
    std::uint64_t nextTicket = 0;
    std::uint64_t serving = 0;
    int waiting = 0;
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

// The ranked locks this thread holds, in the order it took them.
thread_local std::vector<Held> heldHere;

[[noreturn]] void orderBroken(const char* asked, const char* held) {
    std::fprintf(stderr, "Lock order broken: %s asked for while %s is held\n", asked, held);
    std::fflush(stderr);
    std::abort();
}

// Stops when this thread holds a lock ranked after `rank`.
void checkNothingLaterHeld(LockRank rank, const char* asked) {
    for (const Held& held : heldHere)
        if (held.rank > rank)
            orderBroken(asked, held.name);
}

void enter() {
    checkNothingLaterHeld(LockRank::Driver, kDriverLockName);
    Gate& g = gate();
    std::unique_lock lock(g.mutex);
    const std::uint64_t ticket = g.nextTicket++;
    if (g.serving != ticket) {
        ++g.waiting;
        g.served.wait(lock, [&] { return g.serving == ticket; });
        --g.waiting;
    }
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

void willTake(const void* lock, LockRank rank, const char* name) {
    const bool again =
        std::any_of(heldHere.begin(), heldHere.end(), [&](const Held& h) { return h.lock == lock; });
    if (again)
        return; // a recursive lock taken again waits for nobody
    checkNothingLaterHeld(rank, name);
    if (rank < LockRank::Driver && holdsHere > 0)
        orderBroken(name, kDriverLockName);
}

void took(const void* lock, LockRank rank, const char* name) {
    for (Held& held : heldHere)
        if (held.lock == lock) {
            ++held.count;
            return;
        }
    heldHere.push_back(Held{lock, rank, name, 1});
}

void released(const void* lock) {
    for (auto it = heldHere.rbegin(); it != heldHere.rend(); ++it)
        if (it->lock == lock) {
            if (--it->count == 0)
                heldHere.erase(std::next(it).base());
            return;
        }
}

} // namespace lock_order

DriverLock::DriverLock() {
    // Asked for even when held: the same code runs where the caller holds it and where it does not.
    if (holdsHere == 0)
        enter();
    else
        checkNothingLaterHeld(LockRank::Driver, kDriverLockName);
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

void DriverLock::checkFreeToWait(const char* forWhat) {
    const char* held = holdsHere > 0 ? kDriverLockName : nullptr;
    for (const Held& lock : heldHere)
        if (!held && lock.rank == LockRank::MainContext)
            held = lock.name;
    if (held) {
        std::fprintf(stderr, "Lock order broken: a wait for %s while %s is held\n", forWhat, held);
        std::fflush(stderr);
        std::abort();
    }
}

int DriverLock::waiting() {
    Gate& g = gate();
    const std::lock_guard lock(g.mutex);
    return g.waiting;
}

std::chrono::nanoseconds DriverLock::longestHold() {
    return std::chrono::nanoseconds(longestHoldNanoseconds.load());
}

std::chrono::nanoseconds DriverLock::heldInAll() {
    return std::chrono::nanoseconds(heldNanoseconds.load());
}

} // namespace platform::gl
