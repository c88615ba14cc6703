#include "platform/media/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <set>
#include <vector>

using platform::media::SerialQueue;

TEST(SerialQueue, RunsJobsInOrderOnOneThreadOfItsOwn) {
    SerialQueue queue("mediaInputQueue");
    EXPECT_EQ(queue.name(), "mediaInputQueue");
    EXPECT_FALSE(queue.isCurrentThread());
    std::vector<int> order;
    std::set<std::thread::id> threads;
    for (int i = 0; i < 200; ++i)
        queue.post([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
        });
    queue.waitUntilIdle();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST(SerialQueue, JobsNeverOverlapWhenPostedFromManyThreads) {
    SerialQueue queue("q");
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> ran{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                queue.post([&] {
                    if (inside.fetch_add(1) != 0)
                        ++overlaps;
                    inside.fetch_sub(1);
                    ++ran;
                });
        });
    for (std::thread& poster : posters)
        poster.join();
    queue.waitUntilIdle();
    EXPECT_EQ(ran, 1000);
    EXPECT_EQ(overlaps, 0);
}

TEST(SerialQueue, AJobMayPostAndWaitingFromAJobReturns) {
    SerialQueue queue("q");
    std::promise<std::vector<int>> result;
    std::vector<int> order;
    queue.post([&] {
        order.push_back(1);
        queue.post([&] {
            order.push_back(3);
            result.set_value(order);
        });
        EXPECT_TRUE(queue.isCurrentThread());
        queue.waitUntilIdle(); // would never end if it waited
        order.push_back(2);
    });
    EXPECT_EQ(result.get_future().get(), (std::vector<int>{1, 2, 3}));
}

TEST(SerialQueue, DestructionRunsThePostedJobs) {
    std::atomic<int> ran{0};
    {
        SerialQueue queue("q");
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        queue.post([gate] { gate.wait(); });
        for (int i = 0; i < 10; ++i)
            queue.post([&] { ++ran; });
        release.set_value();
    }
    EXPECT_EQ(ran, 10);
}

TEST(SerialQueue, AJobMayLetGoOfItsOwnQueue) {
    auto queue = std::make_unique<SerialQueue>("q");
    std::promise<void> done;
    std::atomic<bool> later{false};
    SerialQueue* raw = queue.get();
    std::promise<void> bothPosted;
    std::shared_future<void> gate = bothPosted.get_future().share();
    raw->post([&queue, gate] {
        gate.wait();
        queue.reset();
    });
    raw->post([&] {
        later = true;
        done.set_value();
    });
    bothPosted.set_value();
    done.get_future().wait();
    EXPECT_TRUE(later);
    EXPECT_EQ(queue, nullptr);
}
