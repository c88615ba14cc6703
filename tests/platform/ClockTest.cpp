#include "platform/foundation/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

using namespace platform;

namespace {

TEST(ClockTest, SystemClockIsMonotonicAndReadsTheWallClockInUtc) {
    const auto clock = Clock::system();
    EXPECT_EQ(clock, Clock::system());
    double previous = clock->secondsSinceStart();
    EXPECT_GE(previous, 0.0);
    for (int i = 0; i < 1000; ++i) {
        const double now = clock->secondsSinceStart();
        EXPECT_GE(now, previous);
        previous = now;
    }
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const QDateTime now = clock->now();
    const QDateTime after = QDateTime::currentDateTimeUtc();
    EXPECT_EQ(now.timeSpec(), Qt::UTC);
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST(ClockTest, ManualClockMovesOnlyWhenTold) {
    ManualClock clock;
    const QDateTime start = clock.now();
    EXPECT_EQ(clock.secondsSinceStart(), 0.0);
    clock.advance(2.5);
    clock.advance(0.5);
    EXPECT_EQ(clock.secondsSinceStart(), 3.0);
    EXPECT_EQ(start.msecsTo(clock.now()), 3000);
    clock.set(1.0);
    EXPECT_EQ(start.msecsTo(clock.now()), 1000);
}

std::vector<std::uint32_t> draw(RandomSource& source, std::uint32_t n, int count) {
    std::vector<std::uint32_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(source.next(n));
    return values;
}

TEST(RandomTest, TheSameSeedGivesTheSameSequence) {
    SeededRandom a(12345), b(12345), c(54321);
    const auto first = draw(a, 1000, 200);
    EXPECT_EQ(first, draw(b, 1000, 200));
    EXPECT_NE(first, draw(c, 1000, 200));
}

TEST(RandomTest, NextStaysInRangeAndCoversIt) {
    SeededRandom random(7);
    EXPECT_EQ(random.next(0), 0u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(random.next(1), 0u);
    std::set<std::uint32_t> seen;
    for (std::uint32_t value : draw(random, 13, 2000)) {
        EXPECT_LT(value, 13u);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 13u);
    for (std::uint32_t value : draw(random, 0xFFFFFFFFu, 1000))
        EXPECT_LT(value, 0xFFFFFFFFu);
}

// Gives the numbers a test asks for, in order.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> script) : script(std::move(script)) {}
    std::uint32_t next(std::uint32_t n) override { return n ? script[at++ % script.size()] % n : 0; }

private:
    std::vector<std::uint32_t> script;
    std::size_t at = 0;
};

TEST(RandomTest, TheSharedSourceCanBeReplacedAndRestored) {
    RandomSource& shared = RandomSource::shared();
    RandomSource::setShared(std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>{3, 1, 4}));
    EXPECT_EQ(draw(shared, 10, 4), (std::vector<std::uint32_t>{3, 1, 4, 3}));
    EXPECT_EQ(&RandomSource::shared(), &shared) << "a kept reference follows the replacement";

    RandomSource::setShared(std::make_shared<SeededRandom>(99));
    SeededRandom same(99);
    EXPECT_EQ(draw(shared, 500, 50), draw(same, 500, 50));

    RandomSource::setShared(nullptr); // back to a time-seeded source
    for (std::uint32_t value : draw(shared, 6, 100))
        EXPECT_LT(value, 6u);
}

TEST(RandomTest, TheSharedSourceIsSafeAcrossThreads) {
    RandomSource::setShared(std::make_shared<SeededRandom>(1));
    std::atomic<int> outOfRange = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5000; ++i) {
                if (t == 0 && i % 500 == 0)
                    RandomSource::setShared(std::make_shared<SeededRandom>(i));
                if (RandomSource::shared().next(10) >= 10)
                    ++outOfRange;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(outOfRange, 0);
    RandomSource::setShared(nullptr);
}

} // namespace
