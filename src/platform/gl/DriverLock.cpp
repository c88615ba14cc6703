#include "platform/gl/DriverLock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform::gl {

namespace {

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

thread_local int holdsHere = 0;

void enter() {
    Gate& g = gate();
    std::unique_lock lock(g.mutex);
    const std::uint64_t ticket = g.nextTicket++;
    g.served.wait(lock, [&] { return g.serving == ticket; });
}

void leave() {
    Gate& g = gate();
    {
        const std::lock_guard lock(g.mutex);
        ++g.serving;
    }
    g.served.notify_all();
}

} // namespace

DriverLock::DriverLock() {
    if (holdsHere++ == 0)
        enter();
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

} // namespace platform::gl
