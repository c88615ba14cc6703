#include "platform/foundation/RepeatingTimer.h"

#include "platform/foundation/MainThread.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using platform::RepeatingTimer;
using test_support::spinFor;
using test_support::spinUntil;

namespace {

TEST(RepeatingTimerTest, TicksRepeatedlyOnTheMainThreadUntilStopped) {
    int ticks = 0;
    bool allOnMain = true;
    RepeatingTimer timer(0.005, [&] {
        ++ticks;
        allOnMain = allOnMain && platform::isMainThread();
    });
    EXPECT_TRUE(timer.isActive());
    ASSERT_TRUE(spinUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(allOnMain);

    timer.stop();
    EXPECT_FALSE(timer.isActive());
    const int atStop = ticks;
    spinFor(50);
    EXPECT_EQ(ticks, atStop);
}

TEST(RepeatingTimerTest, DestroyingTheTimerEndsTheTicks) {
    int ticks = 0;
    auto timer = std::make_unique<RepeatingTimer>(0.005, [&] { ++ticks; });
    ASSERT_TRUE(spinUntil([&] { return ticks >= 1; }));
    timer.reset();
    const int atDestruction = ticks;
    spinFor(50);
    EXPECT_EQ(ticks, atDestruction);
}

TEST(RepeatingTimerTest, ATickMayDestroyItsOwnTimer) {
    int ticks = 0;
    std::unique_ptr<RepeatingTimer> timer;
    timer = std::make_unique<RepeatingTimer>(0.005, [&] {
        ++ticks;
        timer.reset();
    });
    ASSERT_TRUE(spinUntil([&] { return !timer; }));
    spinFor(50);
    EXPECT_EQ(ticks, 1);
}

TEST(RepeatingTimerTest, ATimerMadeOnAWorkerTicksOnTheMainThread) {
    std::atomic<int> ticks = 0;
    std::atomic<bool> allOnMain = true;
    std::unique_ptr<RepeatingTimer> timer;
    std::atomic<bool> made = false;
    std::thread worker([&] {
        timer = std::make_unique<RepeatingTimer>(0.005, [&] {
            ++ticks;
            allOnMain = allOnMain && platform::isMainThread();
        });
        made = true;
    });
    // The worker waits for the main thread to make the QTimer, so the main loop must keep turning.
    ASSERT_TRUE(spinUntil([&] { return made && ticks >= 2; }));
    worker.join();
    EXPECT_TRUE(allOnMain);

    std::atomic<bool> stopped = false;
    std::atomic<bool> activeAfterStop = true;
    std::thread stopper([&] {
        timer->stop();
        activeAfterStop = timer->isActive();
        timer.reset();
        stopped = true;
    });
    ASSERT_TRUE(spinUntil([&] { return stopped.load(); }));
    stopper.join();
    EXPECT_FALSE(activeAfterStop);
    const int atStop = ticks;
    spinFor(50);
    EXPECT_EQ(ticks, atStop);
}

TEST(RepeatingTimerTest, NonPositiveIntervalsStillTickWithoutSpinning) {
    int ticks = 0;
    RepeatingTimer timer(0.0, [&] { ++ticks; });
    RepeatingTimer negative(-1.0, [&] { ++ticks; });
    EXPECT_TRUE(negative.isActive());
    EXPECT_TRUE(spinUntil([&] { return ticks >= 4; }));
}

} // namespace
