#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/MainThread.h"

#include "support/TestEnvironment.h"

#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

using platform::Notification;
using platform::NotificationCenter;
using platform::ObserverHandle;

namespace {

TEST(NotificationCenterTest, CallsObserversOfTheNameInRegistrationOrder) {
    NotificationCenter center;
    std::vector<QString> calls;
    for (const char* label : {"first", "second", "third", "fourth"})
        center.addObserver("Ping", [&calls, label](const Notification&) { calls.push_back(label); });
    center.addObserver("Other", [&calls](const Notification&) { calls.push_back("other"); });
    center.addObserver(QString(), [&calls](const Notification& n) { calls.push_back("any:" + n.name); });

    center.post("Ping");
    EXPECT_EQ(calls, (std::vector<QString>{"first", "second", "third", "fourth", "any:Ping"}));
    calls.clear();
    center.post("Other");
    EXPECT_EQ(calls, (std::vector<QString>{"other", "any:Other"}));
    calls.clear();
    center.post("Nobody");
    EXPECT_EQ(calls, (std::vector<QString>{"any:Nobody"}));
}

TEST(NotificationCenterTest, DeliversNameObjectAndUserInfo) {
    NotificationCenter center;
    Notification seen;
    center.addObserver("Changed", [&seen](const Notification& n) { seen = n; });
    center.post("Changed", 42, {{"key", "value"}, {"n", 3}});
    EXPECT_EQ(seen.name, "Changed");
    EXPECT_EQ(seen.object.toInt(), 42);
    EXPECT_EQ(seen.userInfo.value("key").toString(), "value");
    EXPECT_EQ(seen.userInfo.value("n").toInt(), 3);
}

TEST(NotificationCenterTest, FiltersByObjectEquality) {
    NotificationCenter center;
    int forFive = 0, forText = 0, forAny = 0;
    center.addObserver(
        "Item", [&](const Notification&) { ++forFive; }, QVariant(5));
    center.addObserver(
        "Item", [&](const Notification&) { ++forText; }, QVariant(QString("slide")));
    center.addObserver("Item", [&](const Notification&) { ++forAny; });

    center.post("Item", 5);
    center.post("Item", qint64(5)); // the same number in another width is the same object
    center.post("Item", 6);
    center.post("Item");
    center.post("Item", QString("slide"));
    center.post("Item", QString("Slide"));
    EXPECT_EQ(forFive, 2);
    EXPECT_EQ(forText, 1);
    EXPECT_EQ(forAny, 6);
}

TEST(NotificationCenterTest, RemovedObserversAreNotCalledEvenWithinTheCurrentPost) {
    NotificationCenter center;
    std::vector<int> calls;
    NotificationCenter::Token later = 0;
    center.addObserver("Go", [&](const Notification&) {
        calls.push_back(1);
        center.removeObserver(later);
    });
    const NotificationCenter::Token self =
        center.addObserver("Go", [&](const Notification&) { calls.push_back(2); });
    later = center.addObserver("Go", [&](const Notification&) { calls.push_back(3); });
    center.addObserver("Go", [&](const Notification&) { calls.push_back(4); });

    center.post("Go");
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 4}));

    calls.clear();
    center.removeObserver(self);
    center.removeObserver(self); // a second removal is harmless
    center.removeObserver(9999); // so is an unknown token
    center.post("Go");
    EXPECT_EQ(calls, (std::vector<int>{1, 4}));
}

TEST(NotificationCenterTest, AnObserverMayRemoveItself) {
    NotificationCenter center;
    int calls = 0;
    NotificationCenter::Token token = 0;
    token = center.addObserver("Once", [&](const Notification&) {
        ++calls;
        center.removeObserver(token);
    });
    center.post("Once");
    center.post("Once");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, ObserversAddedDuringAPostWaitForTheNextOne) {
    NotificationCenter center;
    std::vector<QString> calls;
    bool added = false;
    center.addObserver("Grow", [&](const Notification&) {
        calls.push_back("original");
        if (!added) {
            added = true;
            center.addObserver("Grow", [&](const Notification&) { calls.push_back("added"); });
        }
    });
    center.post("Grow");
    EXPECT_EQ(calls, (std::vector<QString>{"original"}));
    center.post("Grow");
    EXPECT_EQ(calls, (std::vector<QString>{"original", "original", "added"}));
}

TEST(NotificationCenterTest, AnObserverMayPostAgain) {
    NotificationCenter center;
    std::vector<QString> calls;
    center.addObserver("Outer", [&](const Notification&) {
        calls.push_back("outer1");
        center.post("Inner", 7);
    });
    center.addObserver("Inner",
                       [&](const Notification& n) { calls.push_back("inner" + n.object.toString()); });
    center.addObserver("Outer", [&](const Notification&) { calls.push_back("outer2"); });
    int depth = 0;
    center.addObserver("Recurse", [&](const Notification& n) {
        ++depth;
        if (n.object.toInt() < 5)
            center.post("Recurse", n.object.toInt() + 1);
    });

    center.post("Outer");
    EXPECT_EQ(calls, (std::vector<QString>{"outer1", "inner7", "outer2"}));
    center.post("Recurse", 0);
    EXPECT_EQ(depth, 6);
}

// An observer's captured state may remove other observers when it is destroyed; the center must not
// destroy it while holding its own lock.
TEST(NotificationCenterTest, RemovingTheLastReferenceMayReenterTheCenter) {
    NotificationCenter center;
    struct Unregisters {
        NotificationCenter* center;
        NotificationCenter::Token other;
        ~Unregisters() { center->removeObserver(other); }
    };
    int otherCalls = 0;
    const auto other = center.addObserver("X", [&](const Notification&) { ++otherCalls; });
    auto state = std::make_shared<Unregisters>(Unregisters{&center, other});
    const auto token = center.addObserver("X", [state](const Notification&) {});
    state.reset();
    center.removeObserver(token);
    center.post("X");
    EXPECT_EQ(otherCalls, 0);
}

TEST(NotificationCenterTest, ObserverHandleRemovesOnDestructionAndMoves) {
    NotificationCenter center;
    int calls = 0;
    {
        ObserverHandle handle(center, center.addObserver("H", [&](const Notification&) { ++calls; }));
        center.post("H");
        ObserverHandle moved(std::move(handle));
        handle.reset(); // the moved-from handle owns nothing any more
        center.post("H");
        ObserverHandle assigned;
        assigned = std::move(moved);
        center.post("H");
    }
    center.post("H");
    EXPECT_EQ(calls, 3);

    ObserverHandle first(center, center.addObserver("H", [&](const Notification&) { ++calls; }));
    ObserverHandle second(center, center.addObserver("H", [&](const Notification&) { calls += 100; }));
    first = std::move(second); // drops what `first` observed before
    center.post("H");
    EXPECT_EQ(calls, 103);
}

TEST(NotificationCenterTest, ConcurrentAddRemoveAndPostKeepCountsConsistent) {
    NotificationCenter center;
    std::atomic<int> permanentCalls = 0;
    center.addObserver("Tick", [&](const Notification&) { ++permanentCalls; });

    constexpr int threads = 6, rounds = 400;
    std::atomic<int> ownMisses = 0;
    std::vector<std::atomic<int>> transientCalls(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                // Shared, since another thread's post may still be running this observer after removal.
                auto seenOwn = std::make_shared<std::atomic<bool>>(false);
                const auto token =
                    center.addObserver("Tick", [&transientCalls, seenOwn, t](const Notification& n) {
                        ++transientCalls[t];
                        if (n.object.toInt() == t)
                            *seenOwn = true;
                    });
                center.post("Tick", t);
                center.removeObserver(token);
                if (!*seenOwn)
                    ++ownMisses;
            }
        });
    }
    for (auto& worker : workers)
        worker.join();

    EXPECT_EQ(permanentCalls, threads * rounds);
    EXPECT_EQ(ownMisses, 0);
    const int before = std::accumulate(transientCalls.begin(), transientCalls.end(), 0);
    center.post("Tick", 0);
    EXPECT_EQ(std::accumulate(transientCalls.begin(), transientCalls.end(), 0), before);
    EXPECT_EQ(permanentCalls, threads * rounds + 1);
}

TEST(NotificationCenterTest, RemovalFromAnotherThreadDoesNotWaitForARunningObserver) {
    NotificationCenter center;
    std::mutex mutex;
    std::condition_variable changed;
    bool running = false, release = false;
    std::atomic<int> calls = 0;
    const auto token = center.addObserver("Slow", [&](const Notification&) {
        ++calls;
        std::unique_lock lock(mutex);
        running = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
    });
    std::thread poster([&] { center.post("Slow"); });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return running; });
    }
    center.removeObserver(token); // returns while the call above is still in progress
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    poster.join();
    center.post("Slow");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, PostOnMainThreadDeliversOnTheMainThread) {
    NotificationCenter center;
    std::atomic<int> calls = 0;
    std::atomic<bool> allOnMain = true;
    QVariantMap received;
    center.addObserver("UI", [&](const Notification& n) {
        allOnMain = allOnMain && platform::isMainThread();
        received = n.userInfo;
        ++calls;
    });

    center.postOnMainThread("UI", QVariant(), {{"from", "main"}});
    EXPECT_EQ(calls, 1) << "on the main thread the post happens at once";

    std::thread worker([&] { center.postOnMainThread("UI", QVariant(), {{"from", "worker"}}); });
    worker.join();
    EXPECT_EQ(calls, 1) << "a post from a worker waits for the main event loop";
    ASSERT_TRUE(test_support::spinUntil([&] { return calls == 2; }));
    EXPECT_TRUE(allOnMain);
    EXPECT_EQ(received.value("from").toString(), "worker");
}

TEST(NotificationCenterTest, DefaultCenterIsOneInstance) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    ObserverHandle handle(NotificationCenter::defaultCenter(),
                          NotificationCenter::defaultCenter().addObserver(
                              "DefaultCenterTest", [&](const Notification&) { ++calls; }));
    NotificationCenter::defaultCenter().post("DefaultCenterTest");
    EXPECT_EQ(calls, 1);
}

} // namespace
