#include "platform/foundation/Scheduler.h"
#include "platform/foundation/MainThread.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::ManualScheduler;
using platform::Scheduler;

TEST(ManualSchedulerTest, WorkRunsInTimeOrderWithTheClockAtItsDueTime) {
    ManualScheduler scheduler;
    std::vector<std::string> runs;
    std::vector<double> times;
    auto record = [&](std::string name) {
        return [&, name] {
            runs.push_back(name);
            times.push_back(scheduler.now());
        };
    };
    auto late = scheduler.scheduleOnce(0.5, record("late"));
    auto early = scheduler.scheduleOnce(0.2, record("early"));
    auto tie = scheduler.scheduleOnce(0.2, record("tie"));
    scheduler.advance(0.3);
    EXPECT_EQ(runs, (std::vector<std::string>{"early", "tie"}));
    EXPECT_DOUBLE_EQ(times[0], 0.2);
    EXPECT_DOUBLE_EQ(scheduler.now(), 0.3);
    EXPECT_FALSE(early.isActive());
    EXPECT_TRUE(late.isActive());
    scheduler.advance(1.0);
    EXPECT_EQ(runs.back(), "late");
    EXPECT_DOUBLE_EQ(times.back(), 0.5);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(ManualSchedulerTest, ACancelledSingleShotNeverRunsWhicheverWayItIsCancelled) {
    ManualScheduler scheduler;
    int runs = 0;
    auto cancelled = scheduler.scheduleOnce(0.1, [&] { ++runs; });
    cancelled.cancel();
    {
        auto dropped = scheduler.scheduleOnce(0.1, [&] { ++runs; });
    }
    Scheduler::Handle replaced = scheduler.scheduleOnce(0.1, [&] { ++runs; });
    replaced = scheduler.scheduleOnce(0.5, [] {});
    // Work that cancels a later piece of work when it runs.
    Scheduler::Handle victim = scheduler.scheduleOnce(0.3, [&] { ++runs; });
    auto killer = scheduler.scheduleOnce(0.2, [&] { victim.cancel(); });
    scheduler.advance(1.0);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(cancelled.isActive());
}

TEST(ManualSchedulerTest, RepeatingWorkRunsOncePerPeriodUntilCancelledFromInside) {
    ManualScheduler scheduler;
    int ticks = 0;
    Scheduler::Handle repeating;
    repeating = scheduler.scheduleRepeating(1.0 / 30.0, [&] {
        if (++ticks == 45)
            repeating.cancel();
    });
    scheduler.advance(1.0);
    EXPECT_EQ(ticks, 30);
    scheduler.advance(0.5);
    EXPECT_EQ(ticks, 45);
    scheduler.advance(10.0);
    EXPECT_EQ(ticks, 45);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(QtSchedulerTest, RunsOnTheMainThreadAndACancelledShotNeverRuns) {
    const auto scheduler = Scheduler::mainThreadScheduler();
    int cancelledRuns = 0, runs = 0, ticks = 0;
    bool onMain = false;
    auto cancelled = scheduler->scheduleOnce(0.0, [&] { ++cancelledRuns; });
    cancelled.cancel();
    auto once = scheduler->scheduleOnce(0.01, [&] {
        ++runs;
        onMain = platform::isMainThread();
    });
    Scheduler::Handle repeating;
    repeating = scheduler->scheduleRepeating(0.002, [&] {
        if (++ticks == 3)
            repeating.cancel();
    });
    ASSERT_TRUE(test_support::spinUntil([&] { return runs == 1 && ticks == 3; }));
    test_support::spinFor(30);
    EXPECT_EQ(cancelledRuns, 0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(once.isActive());
}
