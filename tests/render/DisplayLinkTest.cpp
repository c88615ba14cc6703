#include "render/DisplayLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Records the callbacks of a link and lets the test wait for them.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<double, double>> calls;
    std::thread::id thread;

    DisplayLink::OutputCallback callback() {
        return [this](double output, double now) {
            const std::lock_guard lock(mutex);
            calls.emplace_back(output, now);
            thread = std::this_thread::get_id();
            changed.notify_all();
            return 0;
        };
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls.size() >= count; });
    }
    std::size_t count() {
        const std::lock_guard lock(mutex);
        return calls.size();
    }
};

} // namespace

TEST(DisplayLink, TicksOncePerRefreshOfAManualClockOnItsOwnThread) {
    auto time = std::make_shared<ManualDisplayLinkTimeSource>();
    Recorder recorder;
    DisplayLink link(recorder.callback(), 0.5, time);
    link.start();
    EXPECT_TRUE(link.isRunning());
    time->advance(0.25);
    time->advance(0.25);
    ASSERT_TRUE(recorder.waitFor(1));
    time->advance(0.5);
    ASSERT_TRUE(recorder.waitFor(2));
    link.stop();
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_DOUBLE_EQ(recorder.calls[0].first, 1.0); // shown one refresh after the tick
    EXPECT_DOUBLE_EQ(recorder.calls[0].second, 0.5);
    EXPECT_DOUBLE_EQ(recorder.calls[1].second, 1.0);
    EXPECT_NE(recorder.thread, std::this_thread::get_id());
}

TEST(DisplayLink, RefreshesMissedAtOnceAreSkippedNotQueued) {
    auto time = std::make_shared<ManualDisplayLinkTimeSource>();
    Recorder recorder;
    DisplayLink link(recorder.callback(), 0.1, time);
    link.start();
    time->advance(1.05); // ten refreshes pass at once
    ASSERT_TRUE(recorder.waitFor(1));
    time->advance(0.1); // the next refresh after 1.05 is at 1.1
    ASSERT_TRUE(recorder.waitFor(2));
    link.stop();
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_NEAR(recorder.calls[1].first, 1.2, 1e-9);
}

TEST(DisplayLink, StopEndsTheTicksAndTheLinkCanStartAgain) {
    auto time = std::make_shared<ManualDisplayLinkTimeSource>();
    Recorder recorder;
    DisplayLink link(recorder.callback(), 0.1, time);
    link.start();
    link.start(); // a second start changes nothing
    link.stop();
    EXPECT_FALSE(link.isRunning());
    time->advance(1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(recorder.count(), 0u);
    link.start();
    time->advance(0.1);
    EXPECT_TRUE(recorder.waitFor(1));
}
