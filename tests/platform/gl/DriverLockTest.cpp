#include "platform/gl/DriverLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using platform::gl::DriverLock;

namespace {

// Whether another thread can take the lock within a short while.
bool anotherThreadGetsIn() {
    std::atomic<bool> in{false};
    std::thread other([&] {
        const DriverLock lock;
        in = true;
    });
    for (int waited = 0; waited < 100 && !in; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const bool got = in;
    if (!got) {
        // Let it in now, so that the thread can end.
        const DriverLock::Released released;
        other.join();
        return false;
    }
    other.join();
    return got;
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
    const DriverLock outer;
    const DriverLock inner;
    {
        const DriverLock::Released released;
        EXPECT_FALSE(DriverLock::isHeldHere());
        EXPECT_TRUE(anotherThreadGetsIn()) << "a loader gets in while the player waits for it";
    }
    EXPECT_TRUE(DriverLock::isHeldHere());
    EXPECT_FALSE(anotherThreadGetsIn()) << "both holds are back";
    const DriverLock::Released notHeld; // releasing without a hold changes nothing
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
