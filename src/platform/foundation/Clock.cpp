#include "platform/foundation/Clock.h"

#include <chrono>
#include <mutex>

namespace platform {

namespace {

class SystemClock : public Clock {
public:
    double secondsSinceStart() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }

private:
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

std::shared_ptr<RandomSource> timeSeededRandom() {
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    return std::make_shared<SeededRandom>(std::uint64_t(ticks));
}

// What shared() hands out: callers may keep the reference, so it stays one object for the life of the
// program and forwards to whichever source is current. The lock also serialises the engines, which
// are not safe to step from two threads at once.
class SharedRandom : public RandomSource {
public:
    std::uint32_t next(std::uint32_t n) override {
        std::lock_guard lock(mutex);
        return source->next(n);
    }
    void replace(std::shared_ptr<RandomSource> replacement) {
        std::lock_guard lock(mutex);
        source = replacement ? std::move(replacement) : timeSeededRandom();
    }

private:
    std::mutex mutex;
    std::shared_ptr<RandomSource> source = timeSeededRandom();
};

SharedRandom& sharedRandom() {
    static SharedRandom random;
    return random;
}

} // namespace

std::shared_ptr<Clock> Clock::system() {
    static const std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

RandomSource& RandomSource::shared() {
    return sharedRandom();
}

void RandomSource::setShared(std::shared_ptr<RandomSource> source) {
    sharedRandom().replace(std::move(source));
}

std::uint32_t SeededRandom::next(std::uint32_t n) {
    return n ? std::uint32_t(engine() % n) : 0;
}

} // namespace platform
