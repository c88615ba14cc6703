#include "platform/image/DecodeBudget.h"

#include "platform/foundation/CancellableWait.h"
#include "platform/gl/Context.h"
#include "platform/gl/DriverLock.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace platform::image {

namespace {

// How often a waiting reservation asks whether its caller stopped.
constexpr std::chrono::milliseconds kStopPoll(50);

thread_local const std::function<bool()>* threadStopping = nullptr;

} // namespace

DecodeBudget::DecodeBudget(qint64 total) : ownTotal(total), total(total) {}

void DecodeBudget::setTotalForTesting(qint64 bytes) {
    {
        const std::lock_guard lock(mutex);
        total = bytes > 0 ? bytes : ownTotal;
    }
    changed.notify_all();
}

DecodeBudget& DecodeBudget::process() {
    static DecodeBudget budget(kProcessBytes);
    return budget;
}

DecodeBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget(std::exchange(other.budget, nullptr)), held(std::exchange(other.held, 0)) {}

DecodeBudget::Reservation& DecodeBudget::Reservation::operator=(Reservation&& other) noexcept {
    if (this != &other) {
        release();
        budget = std::exchange(other.budget, nullptr);
        held = std::exchange(other.held, 0);
    }
    return *this;
}

void DecodeBudget::Reservation::release() {
    if (budget)
        std::exchange(budget, nullptr)->give(std::exchange(held, 0));
}

std::optional<DecodeBudget::Reservation> DecodeBudget::reserve(qint64 bytes,
                                                               const std::function<bool()>& cancelled) {
    if (bytes < kSmallBytes)
        return Reservation();
    std::unique_lock lock(mutex);
    // A thread in the driver or holding the main context may not wait for another (a decoder holding the
    // budget may need that lock to end), nor keep the window waiting: its decode, a still picture or a
    // backdrop the view draws, goes ahead at once and is counted with the rest.
    if (platform::gl::DriverLock::isHeldHere() || platform::gl::Context::holdsMainHere()) {
        heldNow += bytes;
        most = std::max(most, heldNow);
        return Reservation(this, bytes);
    }
    const std::uint64_t ticket = nextTicket++;
    const auto place = queue.insert(queue.end(), ticket);
    const auto fits = [&] { return queue.front() == ticket && (heldNow == 0 || heldNow + bytes <= total); };
    if (!fits())
        changed.notify_all(); // one more waiting
    const bool taken = platform::waitUnlessCancelled(lock, changed, kStopPoll, cancelled, fits);
    queue.erase(place);
    if (taken) {
        heldNow += bytes;
        most = std::max(most, heldNow);
    }
    // The next in the queue may fit too, and a test may be watching the waiters.
    changed.notify_all();
    if (!taken)
        return std::nullopt;
    return Reservation(this, bytes);
}

void DecodeBudget::give(qint64 bytes) {
    {
        const std::lock_guard lock(mutex);
        heldNow -= bytes;
    }
    changed.notify_all();
}

qint64 DecodeBudget::held() const {
    const std::lock_guard lock(mutex);
    return heldNow;
}

qint64 DecodeBudget::mostHeld() const {
    const std::lock_guard lock(mutex);
    return most;
}

void DecodeBudget::resetMostHeld() {
    const std::lock_guard lock(mutex);
    most = heldNow;
}

std::size_t DecodeBudget::waiting() const {
    const std::lock_guard lock(mutex);
    // The front of the queue is waiting too until it fits; a ticket leaves the queue once taken.
    return queue.size();
}

void DecodeBudget::waitUntilWaiting(std::size_t count) const {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return queue.size() >= count; });
}

DecodeStopping::DecodeStopping(std::function<bool()> stopped)
    : stopped(std::move(stopped)), outer(threadStopping) {
    threadStopping = &this->stopped;
}

DecodeStopping::~DecodeStopping() {
    threadStopping = outer;
}

std::optional<DecodeBudget::Reservation> reserveDecode(qint64 bytes) {
    static const std::function<bool()> never;
    return DecodeBudget::process().reserve(bytes, threadStopping ? *threadStopping : never);
}

} // namespace platform::image
