#include "platform/media/TimeRange.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform::media;

TEST(MediaTime, FromSecondsRoundsToTheNearestTick) {
    EXPECT_EQ(MediaTime::fromSeconds(0.0016).value, 1); // 0.96 ticks
    EXPECT_EQ(MediaTime::fromSeconds(0.0007).value, 0); // 0.42 ticks
    EXPECT_EQ(MediaTime::fromSeconds(-0.0016).value, -1);
    EXPECT_EQ(MediaTime::fromSeconds(2.5).value, 1500);
    EXPECT_EQ(MediaTime::fromSeconds(2.5).timescale, 600);
    EXPECT_EQ(MediaTime::fromSeconds(1.0 / 3.0, 30).value, 10);
    EXPECT_DOUBLE_EQ(MediaTime(1500, 600).seconds(), 2.5);
}

TEST(MediaTime, NonFiniteSecondsAndBadScalesAreInvalid) {
    EXPECT_FALSE(MediaTime::fromSeconds(std::nan("")).isValid());
    EXPECT_FALSE(MediaTime::fromSeconds(std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(MediaTime::fromSeconds(1.0, 0).isValid());
    EXPECT_FALSE(MediaTime(5, -3).isValid());
    EXPECT_TRUE(std::isnan(MediaTime::invalid().seconds()));
    EXPECT_FALSE((MediaTime::invalid() + MediaTime::zero()).isValid());
}

TEST(MediaTime, ComparesAndAddsAcrossTimescalesExactly) {
    EXPECT_EQ(MediaTime(1, 30), MediaTime(20, 600));
    EXPECT_LT(MediaTime(1, 30), MediaTime(21, 600));
    EXPECT_GT(MediaTime(44101, 44100), MediaTime(600, 600));
    const MediaTime sum = MediaTime(1, 600) + MediaTime(1, 44100);
    EXPECT_EQ(sum.timescale, 88200);
    EXPECT_EQ(sum.value, 147 + 2);
    EXPECT_EQ(MediaTime(3, 600) - MediaTime(1, 30), MediaTime(-17, 600));
    EXPECT_EQ(MediaTime(7, 600).convertScale(44100).value, 515); // 514.5 rounds up
    EXPECT_EQ(MediaTime(-7, 600).convertScale(44100).value, -515);
    EXPECT_LT(MediaTime::invalid(), MediaTime(-100, 1));
    EXPECT_EQ(max(MediaTime(1, 2), MediaTime(2, 3)), MediaTime(2, 3));
    EXPECT_EQ(min(MediaTime(1, 2), MediaTime(2, 3)), MediaTime(1, 2));
}

TEST(MediaTime, LargeValuesCompareWithoutOverflow) {
    const MediaTime big(std::numeric_limits<int64_t>::max() / 2, 600);
    EXPECT_GT(big, MediaTime(std::numeric_limits<int64_t>::max() / 2, 44100));
    EXPECT_LT(MediaTime(-(std::numeric_limits<int64_t>::max() / 2), 600), big);
}

TEST(TimeRange, ValidityEmptinessAndEnd) {
    const TimeRange range = TimeRange::fromSeconds(1.0, 2.0);
    EXPECT_TRUE(range.isValid());
    EXPECT_FALSE(range.isEmpty());
    EXPECT_EQ(range.end(), MediaTime(1800, 600));
    EXPECT_TRUE(TimeRange::fromSeconds(1.0, 0.0).isValid());
    EXPECT_TRUE(TimeRange::fromSeconds(1.0, 0.0).isEmpty());
    EXPECT_FALSE(TimeRange::fromSeconds(1.0, -0.5).isValid());
    EXPECT_TRUE(TimeRange::fromSeconds(1.0, -0.5).isEmpty());
    EXPECT_FALSE(TimeRange(MediaTime::invalid(), MediaTime(1, 1)).isValid());
}

TEST(TimeRange, ContainmentIsHalfOpen) {
    const TimeRange range = TimeRange::fromSeconds(1.0, 2.0);
    EXPECT_TRUE(range.containsTime(MediaTime(1, 1)));
    EXPECT_TRUE(range.containsTime(MediaTime(1799, 600)));
    EXPECT_FALSE(range.containsTime(MediaTime(3, 1)));
    EXPECT_FALSE(range.containsTime(MediaTime(599, 600)));
    EXPECT_TRUE(range.containsRange(TimeRange::fromSeconds(1.0, 2.0)));
    EXPECT_TRUE(range.containsRange(TimeRange::fromSeconds(2.0, 1.0)));
    EXPECT_FALSE(range.containsRange(TimeRange::fromSeconds(2.0, 1.5)));
    EXPECT_FALSE(range.containsRange(TimeRange::fromSeconds(0.5, 1.0)));
}

TEST(TimeRange, UnionAndIntersection) {
    const TimeRange a = TimeRange::fromSeconds(1.0, 2.0); // 1..3
    const TimeRange b = TimeRange::fromSeconds(2.5, 2.0); // 2.5..4.5
    EXPECT_EQ(a.unionWith(b), TimeRange::fromSeconds(1.0, 3.5));
    EXPECT_EQ(a.intersection(b), TimeRange::fromSeconds(2.5, 0.5));
    EXPECT_EQ(b.intersection(a), TimeRange::fromSeconds(2.5, 0.5));
    const TimeRange touching = TimeRange::fromSeconds(3.0, 1.0);
    EXPECT_TRUE(a.intersection(touching).isEmpty());
    EXPECT_TRUE(a.intersection(TimeRange::fromSeconds(5.0, 1.0)).isEmpty());
    EXPECT_EQ(a.unionWith(TimeRange::fromSeconds(5.0, 1.0)), TimeRange::fromSeconds(1.0, 5.0));
    const TimeRange invalid(MediaTime::invalid(), MediaTime::invalid());
    EXPECT_EQ(a.unionWith(invalid), a);
    EXPECT_EQ(invalid.unionWith(a), a);
    EXPECT_TRUE(a.intersection(invalid).isEmpty());
}
