#include "platform/gl/DriverLock.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/gl/Context.h"
#include "support/HangGuard.h"
#include "support/ThreadSleeps.h"

#include <QString>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using platform::gl::DriverLock;
using platform::gl::LockRank;
using platform::gl::RankedMutex;

namespace {

// Whether another thread can take the lock now: it gets in, or it queues behind a hold of this thread's.
bool anotherThreadGetsIn() {
    std::atomic<bool> in{false};
    std::atomic<pid_t> asking{0};
    std::thread other([&] {
        asking = test_support::kernelThreadId();
        const DriverLock lock;
        in = true;
    });
    while (!in && (asking == 0 || !test_support::sleepsOnFutex(asking)))
        std::this_thread::yield();
    if (in) {
        other.join();
        return true;
    }
    const DriverLock::Released letIn; // so that it can end
    other.join();
    return false;
}

} // namespace

TEST(DriverLock, IsTakenAgainByItsHolderAndLetGoWithTheLastHold) {
    {
        const DriverLock outer;
        {
            const DriverLock inner; // no wait for itself
            EXPECT_TRUE(DriverLock::isHeldHere());
        }
        EXPECT_TRUE(DriverLock::isHeldHere()) << "the outer hold stands";
        EXPECT_FALSE(anotherThreadGetsIn());
    }
    EXPECT_FALSE(DriverLock::isHeldHere());
    EXPECT_TRUE(anotherThreadGetsIn());
}

TEST(DriverLock, AWaitForAnotherThreadLetsItInAndTakesEveryHoldBack) {
    {
        const DriverLock outer;
        {
            const DriverLock inner;
            {
                const DriverLock::Released released;
                EXPECT_FALSE(DriverLock::isHeldHere());
                EXPECT_TRUE(anotherThreadGetsIn()) << "a loader gets in while the player waits for it";
            }
            EXPECT_TRUE(DriverLock::isHeldHere());
            EXPECT_FALSE(anotherThreadGetsIn()) << "both holds are back";
        }
        EXPECT_TRUE(DriverLock::isHeldHere()) << "the outer hold stands once the inner one goes";
        EXPECT_FALSE(anotherThreadGetsIn());
    }
    EXPECT_FALSE(DriverLock::isHeldHere());
    EXPECT_TRUE(anotherThreadGetsIn()) << "the last hold lets go";
    const DriverLock::Released notHeld; // releasing without a hold changes nothing
    EXPECT_FALSE(DriverLock::isHeldHere());
}

TEST(DriverLock, AWaitingThreadGetsInBeforeAHolderThatTakesItFrameAfterFrame) {
    std::atomic<int> frames{0};
    std::atomic<bool> asking{false};
    std::atomic<int> askedAt{-1}, gotInAt{-1};
    std::thread player([&] {
        for (int frame = 0; frame < 400 && gotInAt < 0; ++frame) {
            const DriverLock lock;
            frames = frame;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    while (frames < 5)
        std::this_thread::yield();
    std::thread loader([&] {
        askedAt = frames.load();
        const DriverLock lock;
        gotInAt = frames.load();
    });
    loader.join();
    player.join();
    ASSERT_GE(gotInAt, 0) << "the loader never got in";
    EXPECT_LE(gotInAt - askedAt, 5) << "the loader waited " << gotInAt - askedAt << " frames";
}

// The order of the render road's locks, kept by a check: the process stops, naming both locks, where a
// thread could wait for another in a cycle.
class LockOrderDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    RankedMutex<std::recursive_mutex> director{LockRank::Director, "the test's director lock"};
    RankedMutex<> handle{LockRank::LoaderHandle, "the test's loader handle"};
    RankedMutex<> mainContext{LockRank::MainContext, "the test's main context"};
    RankedMutex<> cache{LockRank::Cache, "the test's cache lock"};
    RankedMutex<> otherCache{LockRank::Cache, "the test's other cache lock"};
    RankedMutex<> source{LockRank::FrameSource, "the test's source lock"};
    RankedMutex<> otherSource{LockRank::FrameSource, "the test's other source lock"};
    RankedMutex<> field{LockRank::Field, "the test's field lock"};
};

TEST_F(LockOrderDeathTest, TheDriverLockAskedForUnderACacheLockStopsWithBothNames) {
    EXPECT_DEATH(
        {
            const std::lock_guard held(cache);
            const DriverLock driver;
        },
        "the GL driver lock asked for while the test's cache lock is held");
    // Asked for again while held: the same code would wait where the caller does not hold it.
    EXPECT_DEATH(
        {
            const DriverLock outer;
            const std::lock_guard held(source);
            const DriverLock inner;
        },
        "the GL driver lock asked for while the test's source lock is held");
}

TEST_F(LockOrderDeathTest, AWaitThatTakesTheDriverLockBackUnderACacheLockStops) {
    EXPECT_DEATH(
        {
            const DriverLock driver;
            const std::lock_guard held(cache);
            const DriverLock::Released forTheLoader; // takes the driver lock back with the cache lock held
        },
        "the GL driver lock asked for while the test's cache lock is held");
}

TEST_F(LockOrderDeathTest, TheDirectorsLockAfterTheDriverLockStops) {
    EXPECT_DEATH(
        {
            const DriverLock driver;
            const std::lock_guard held(director);
        },
        "the test's director lock asked for while the GL driver lock is held");
    EXPECT_DEATH(
        {
            const std::lock_guard held(cache);
            const std::lock_guard later(director);
        },
        "the test's director lock asked for while the test's cache lock is held");
}

TEST_F(LockOrderDeathTest, AWaitForAnotherThreadUnderTheDriverLockStops) {
    EXPECT_DEATH(
        {
            const DriverLock driver;
            DriverLock::checkFreeToWait("the encoder");
        },
        "a wait for the encoder while the GL driver lock is held");
}

// Each pair taken in either order stops the process: the second lock is ranked before the first, or alike.
TEST_F(LockOrderDeathTest, ALockRankedBeforeOrAlikeAHeldOneStops) {
    const struct {
        RankedMutex<>& first;
        RankedMutex<>& second;
        const char* report;
    } cases[] = {
        {cache, otherCache, "the test's other cache lock asked for while the test's cache lock is held"},
        {otherCache, cache, "the test's cache lock asked for while the test's other cache lock is held"},
        {source, otherSource, "the test's other source lock asked for while the test's source lock is held"},
        {source, cache, "the test's cache lock asked for while the test's source lock is held"},
        {field, source, "the test's source lock asked for while the test's field lock is held"},
        {cache, handle, "the test's loader handle asked for while the test's cache lock is held"},
    };
    for (const auto& c : cases)
        EXPECT_DEATH(
            {
                const std::lock_guard first(c.first);
                const std::lock_guard second(c.second);
            },
            c.report);
    EXPECT_DEATH(
        {
            const DriverLock driver;
            const std::lock_guard held(handle);
        },
        "the test's loader handle asked for while the GL driver lock is held");
}

// A mutex that is not recursive, asked for again by its holder, would wait for itself for ever.
TEST_F(LockOrderDeathTest, ALockThatIsNotRecursiveTakenAgainByItsHolderStopsWithItsName) {
    for (RankedMutex<>* lock : {&handle, &cache, &source, &field})
        EXPECT_DEATH(
            {
                const std::lock_guard held(*lock);
                const std::lock_guard again(*lock);
            },
            std::string(lock->name()) + " asked for again by the thread that holds it");
}

// A thread's own contexts may be held together; they count among the locks held, of which the checker keeps
// a bounded number.
TEST_F(LockOrderDeathTest, MoreLocksHeldThanTheCheckerKeepsStops) {
    EXPECT_DEATH(
        {
            std::vector<std::unique_ptr<RankedMutex<>>> locks;
            for (int i = 0; i < 64; ++i) {
                locks.push_back(std::make_unique<RankedMutex<>>(LockRank::OwnContext, "an own context"));
                locks.back()->lock();
            }
        },
        "Lock order unchecked: an own context taken while [0-9]+ ranked locks are held");
}

// A try takes the lock when it is free: one that breaks the order is a lock asked for out of order, whether
// or not it finds the lock free.
TEST_F(LockOrderDeathTest, ATryOutOfOrderStopsAsALockWould) {
    EXPECT_DEATH(
        {
            const std::lock_guard held(cache);
            if (director.try_lock())
                director.unlock();
        },
        "Lock order broken: the test's director lock asked for while the test's cache lock is held");
    EXPECT_DEATH(
        {
            const DriverLock driver;
            if (handle.try_lock())
                handle.unlock();
        },
        "the test's loader handle asked for while the GL driver lock is held");
    // In the order, and again by the holder of a recursive lock, a try passes.
    const std::lock_guard first(director);
    ASSERT_TRUE(director.try_lock());
    ASSERT_TRUE(cache.try_lock());
    cache.unlock();
    director.unlock();
}

// A join waits for the joined thread to end, which may need the driver lock or a lock after it on its way.
TEST_F(LockOrderDeathTest, AJoinUnderTheDriverLockOrALaterOneStops) {
    const auto joinUnder = [](auto& held) {
        std::thread loader([] {});
        const std::lock_guard holding(held);
        platform::joinUnlessSelf(loader, "the test's loader");
    };
    EXPECT_DEATH(
        {
            std::thread loader([] {});
            const DriverLock driver;
            platform::joinUnlessSelf(loader, "the test's loader");
        },
        "a join of the test's loader while the GL driver lock is held");
    EXPECT_DEATH(joinUnder(cache), "a join of the test's loader while the test's cache lock is held");
    EXPECT_DEATH(joinUnder(source), "a join of the test's loader while the test's source lock is held");
    EXPECT_DEATH(joinUnder(field), "a join of the test's loader while the test's field lock is held");
}

TEST_F(LockOrderDeathTest, TheOrderAsWrittenPasses) {
    {
        const std::lock_guard first(director);
        const std::lock_guard loaderHandle(handle);
        std::thread loader([] {});
        platform::joinUnlessSelf(loader, "a loader joined under its handle");
        const DriverLock driver;
        const std::lock_guard again(director); // a recursive lock taken again waits for nobody
        const std::lock_guard second(cache);
        const std::lock_guard third(source);
        const std::lock_guard fourth(field);
    }
    {
        const DriverLock driver;
        std::unique_lock held(cache);
        std::condition_variable_any changed;
        bool ready = false;
        std::thread loader([&] {
            const DriverLock loading; // gets in while the waiter has let go
            const std::lock_guard adding(cache);
            ready = true;
            changed.notify_all();
        });
        platform::gl::waitOutsideGl(held, [&](auto& lock) { changed.wait(lock, [&] { return ready; }); });
        EXPECT_TRUE(held.owns_lock());
        EXPECT_TRUE(DriverLock::isHeldHere());
        held.unlock();
        loader.join();
    }
    DriverLock::checkFreeToWait("nothing held");
}

// The application's optimised build: a break is written to the log with its stack, once for each break, and
// the run goes on with the order's checks still kept.
TEST_F(LockOrderDeathTest, UnderLoggingABreakIsWrittenOnceWithItsStackAndTheRunGoesOn) {
    using platform::gl::lock_order::OnBreak;
    EXPECT_EXIT(
        {
            platform::gl::lock_order::setOnBreak(OnBreak::Log);
            testing::internal::CaptureStderr();
            {
                for (int i = 0; i < 3; ++i) {
                    const std::lock_guard held(cache);
                    const std::lock_guard later(director);
                }
                {
                    const std::lock_guard fieldHeld(field);
                    if (source.try_lock()) // a try waits for nobody
                        source.unlock();
                }
                const std::lock_guard held(cache);
                const std::lock_guard again(otherCache); // still checked
            }
            const QString text = QString::fromStdString(testing::internal::GetCapturedStderr());
            const QString pair = "lock order broken: the test's director lock asked for while the test's "
                                 "cache lock is held; going on. Where:\n";
            const qsizetype stack = text.indexOf(pair);
            std::fprintf(
                stderr, "pair %d, tried %d, later %d, stack %s\n", int(text.count(pair)),
                int(text.count(
                    "the test's source lock asked for while the test's field lock is held; going on")),
                int(text.count("the test's other cache lock asked for while the test's cache lock")),
                stack >= 0 && text.indexOf("vistrelle_platform_tests", stack) >= 0 ? "shown" : "missing");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "pair 1, tried 1, later 1, stack shown");
}

// Where going on would hang by itself, the application's optimised build stops too, after the log's report
// and its stack: a window that hangs without a word tells nobody anything.
TEST_F(LockOrderDeathTest, UnderLoggingABreakThatWouldHangStopsWithItsStack) {
    const auto join = [](auto& held) {
        std::thread loader([] {});
        const std::lock_guard holding(held);
        platform::joinUnlessSelf(loader, "the test's loader");
    };
    const struct {
        std::function<void()> run;
        std::string says;
    } cases[] = {
        {[&] {
             const std::lock_guard held(cache);
             const std::lock_guard again(cache);
         },
         "the test's cache lock asked for again by the thread that holds it"},
        {[] {
             const DriverLock driver;
             DriverLock::checkFreeToWait("the encoder");
         },
         "a wait for the encoder while the GL driver lock is held"},
        {[&] {
             const std::lock_guard held(mainContext);
             DriverLock::checkFreeToWait("the main thread");
         },
         "a wait for the main thread while the test's main context is held"},
        {[&] { join(mainContext); }, "a join of the test's loader while the test's main context is held"},
        {[&] { join(cache); }, "a join of the test's loader while the test's cache lock is held"},
        {[] {
             std::thread loader([] {});
             const DriverLock driver;
             platform::joinUnlessSelf(loader, "the test's loader");
         },
         "a join of the test's loader while the GL driver lock is held"},
    };
    for (const auto& c : cases)
        EXPECT_DEATH(
            {
                const HangGuard guard(c.says, std::chrono::seconds(60)); // gone on into the hang
                platform::gl::lock_order::setOnBreak(platform::gl::lock_order::OnBreak::Log);
                c.run();
            },
            "Vistrelle: lock order broken: " + c.says + "; stopping\\. Where:.*vistrelle_platform_tests");
}
