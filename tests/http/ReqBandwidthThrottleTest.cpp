#include "http/ReqBandwidthThrottle.h"

#include <gtest/gtest.h>

namespace {

class ReqBandwidthThrottleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReqBandwidthThrottle::resetForTesting();
        ReqBandwidthThrottle::setClockForTesting(clock);
    }
    void TearDown() override {
        ReqBandwidthThrottle::resetForTesting();
        ReqBandwidthThrottle::setClockForTesting(nullptr);
    }
    // A measurement at 0 s opens the second that ends at 1 s.
    void openSecond() { ReqBandwidthThrottle::measureBandwidthUsage(); }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
};

TEST_F(ReqBandwidthThrottleTest, OvershootingTheLimitWaitsInProportion) {
    ReqBandwidthThrottle::setMaxBandwidthPerSecond(10000);
    openSecond();
    ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(12500);
    clock->advance(0.5);
    ReqBandwidthThrottle::measureBandwidthUsage();
    EXPECT_DOUBLE_EQ(*ReqBandwidthThrottle::wakeTime(), 1.25);
}

TEST_F(ReqBandwidthThrottleTest, IdleSecondsAgeTheHistoryOutAndItNeverPassesSix) {
    openSecond();
    for (int second = 0; second < 8; ++second) {
        ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(100 * (second + 1));
        clock->advance(1.0);
        ReqBandwidthThrottle::measureBandwidthUsage();
        EXPECT_LE(ReqBandwidthThrottle::usageHistoryForTesting().size(), 6u);
    }
    EXPECT_EQ(ReqBandwidthThrottle::averageBandwidthUsedPerSecond(),
              (300u + 400 + 500 + 600 + 700 + 800) / 6);
    // 2.5 s past the deadline: three entries go before the new one joins.
    ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(50);
    clock->advance(3.5);
    ReqBandwidthThrottle::measureBandwidthUsage();
    EXPECT_EQ(ReqBandwidthThrottle::usageHistoryForTesting(), (std::deque<unsigned long>{600, 700, 800, 50}));
    EXPECT_FALSE(ReqBandwidthThrottle::isBandwidthThrottled());
    EXPECT_FALSE(ReqBandwidthThrottle::wakeTime());
}

TEST_F(ReqBandwidthThrottleTest, UploadReadsTakeAQuarterOfWhatIsLeft) {
    ReqBandwidthThrottle::setMaxBandwidthPerSecond(1000);
    openSecond();
    EXPECT_EQ(ReqBandwidthThrottle::maxUploadReadLength(), 250u);
    ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(900);
    EXPECT_EQ(ReqBandwidthThrottle::maxUploadReadLength(), 100u);
    EXPECT_FALSE(ReqBandwidthThrottle::wakeTime());
    ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(150);
    EXPECT_EQ(ReqBandwidthThrottle::maxUploadReadLength(), 0u);
    EXPECT_DOUBLE_EQ(*ReqBandwidthThrottle::wakeTime(), 1.0);
    EXPECT_EQ(ReqBandwidthThrottle::throttledReadSize(16384), 1);
}

} // namespace
