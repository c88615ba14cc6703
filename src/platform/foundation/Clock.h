#pragma once

#include <QDateTime>

#include <cstdint>
#include <memory>
#include <random>

namespace platform {

// Time as the program reads it, so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double secondsSinceStart() const = 0; // monotonic
    virtual QDateTime now() const = 0;            // wall clock
    static std::shared_ptr<Clock> system();
};

// A clock that moves only when told to.
class ManualClock : public Clock {
public:
    double secondsSinceStart() const override { return seconds; }
    QDateTime now() const override { return start.addMSecs(qint64(seconds * 1000.0)); }
    void advance(double by) { seconds += by; }
    void set(double to) { seconds = to; }

private:
    double seconds = 0.0;
    QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
};

// Random numbers with the semantics of `rand() % n`: next(n) is in [0, n), 0 when n is 0.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::uint32_t next(std::uint32_t n) = 0;
    // The program's shared source; tests may replace it with a seeded or scripted one.
    static RandomSource& shared();
    static void setShared(std::shared_ptr<RandomSource> source);
};

class SeededRandom : public RandomSource {
public:
    explicit SeededRandom(std::uint64_t seed) : engine(seed) {}
    std::uint32_t next(std::uint32_t n) override;

private:
    std::mt19937_64 engine;
};

} // namespace platform
