#include "platform/foundation/MainThread.h"

#include "support/TestEnvironment.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform;

namespace {

TEST(MainThreadTest, KnowsWhichThreadIsMain) {
    EXPECT_TRUE(isMainThread());
    std::atomic<bool> workerIsMain = true;
    std::thread([&] { workerIsMain = isMainThread(); }).join();
    EXPECT_FALSE(workerIsMain);
}

TEST(MainThreadTest, OnTheMainThreadWorkRunsAtOnce) {
    bool ran = false;
    runOnMainThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    ran = false;
    runOnMainThreadAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
    // Nested: "and wait" inside work already on the main thread must not wait for itself.
    int depth = 0;
    runOnMainThreadAndWait([&] { runOnMainThreadAndWait([&] { runOnMainThread([&] { depth = 3; }); }); });
    EXPECT_EQ(depth, 3);
}

TEST(MainThreadTest, WorkFromAWorkerIsQueuedToTheMainLoopInOrder) {
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<bool> allOnMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i)
            runOnMainThread([&, i] {
                allOnMain = allOnMain && QThread::currentThread() == QCoreApplication::instance()->thread();
                std::lock_guard lock(mutex);
                order.push_back(i);
            });
    });
    worker.join();
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(order.empty()) << "nothing runs before the main loop turns";
    }
    ASSERT_TRUE(test_support::spinUntil([&] {
        std::lock_guard lock(mutex);
        return order.size() == 20;
    }));
    EXPECT_TRUE(allOnMain);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(MainThreadTest, AndWaitFromAWorkerReturnsAfterTheWorkRanOnMain) {
    std::atomic<bool> ranOnMain = false, workerDone = false, sawResult = false;
    int result = 0; // written on main, read by the worker after the wait: the wait orders the two
    std::thread worker([&] {
        runOnMainThreadAndWait([&] {
            ranOnMain = isMainThread();
            result = 42;
        });
        sawResult = result == 42;
        workerDone = true;
    });
    EXPECT_TRUE(test_support::spinUntil([&] { return workerDone.load(); }));
    worker.join();
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(sawResult);
}

TEST(MainThreadTest, AClosedGateReleasesItsWaitersAndDropsWhatIsQueued) {
    MainThreadGate gate;
    std::atomic<bool> answered = false, ran = false;
    std::atomic<int> answer = -1;
    std::thread worker([&] {
        answer = gate.runAndWait([&] { ran = true; }) ? 1 : 0;
        answered = true;
    });
    // The main thread never turns its loop: only the close lets the worker go, as an owner joining it would.
    while (!answered) {
        gate.close();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(answer, 0);
    test_support::spinFor(20);
    EXPECT_FALSE(ran) << "queued work is dropped once the gate is closed";
    EXPECT_FALSE(gate.runAndWait([&] { ran = true; }));
}

TEST(MainThreadTest, APosterOutlivesItsGateAndPostsOnlyWhileItIsOpen) {
    std::atomic<int> ran = 0;
    auto gate = std::make_unique<MainThreadGate>();
    const MainThreadGate::Poster poster = gate->poster();
    std::thread([poster, &ran] { poster.post([&ran] { ++ran; }); }).join();
    ASSERT_TRUE(test_support::spinUntil([&] { return ran.load() == 1; }));
    poster.post([&ran] { ++ran; });
    EXPECT_EQ(ran, 2) << "on the main thread it runs at once";
    std::thread late([poster, &ran] { poster.post([&ran] { ++ran; }); });
    late.join();
    gate.reset(); // closed before the main loop turns: the queued work is dropped
    poster.post([&ran] { ++ran; });
    test_support::spinFor(20);
    EXPECT_EQ(ran, 2);
}

} // namespace

namespace {

// Remembers whether it was destroyed on the main thread.
struct Witness {
    explicit Witness(std::atomic<int>* onMain) : onMain(onMain) {}
    ~Witness() {
        platform::checkDestroyedOnMainThread("the test's witness");
        *onMain += isMainThread() ? 1 : 100;
    }
    std::atomic<int>* onMain;
};

} // namespace

TEST(MainThreadTest, AnObjectMadeToGoOnTheMainThreadGoesThereWhicheverThreadLetsGoLast) {
    std::atomic<int> destroyed = 0;
    auto here = makeMainThreadShared<Witness>(&destroyed);
    here.reset();
    EXPECT_EQ(destroyed, 1) << "at once on the main thread";
    auto there = makeMainThreadShared<Witness>(&destroyed);
    std::thread([last = std::move(there)]() mutable { last.reset(); }).join();
    EXPECT_EQ(destroyed, 1) << "queued, not destroyed by the worker";
    EXPECT_TRUE(test_support::spinUntil([&] { return destroyed == 2; }));
}

TEST(MainThreadTest, WhatMustGoOnTheMainThreadStopsTheProgramWhenDestroyedElsewhere) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::atomic<int> destroyed = 0;
            auto elsewhere = std::make_shared<Witness>(&destroyed);
            std::thread([last = std::move(elsewhere)]() mutable { last.reset(); }).join();
        },
        "Lock order broken: the test's witness destroyed off the main thread");
}
