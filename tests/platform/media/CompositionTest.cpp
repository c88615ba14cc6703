#include "platform/media/Composition.h"
#include "platform/media/MediaAsset.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace platform::media;

namespace {

TimeRange seconds(double start, double duration) {
    return TimeRange::fromSeconds(start, duration);
}

class CompositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ToneMaker::writeWav(dir.file("tone.wav"), 440.0, 2.0, 0.5f));
        tone = MediaAsset::open(dir.file("tone.wav"));
        ASSERT_TRUE(tone.isValid()) << tone.errorString().toStdString();
    }

    TempDir dir;
    MediaAsset tone;
};

} // namespace

TEST_F(CompositionTest, DurationIsTheEndOfTheLongestTrack) {
    Composition composition;
    EXPECT_EQ(composition.duration(), MediaTime::zero());
    CompositionTrack& first = composition.addTrack();
    CompositionTrack& second = composition.addTrack();
    EXPECT_EQ(first.trackID(), 1);
    EXPECT_EQ(second.trackID(), 2);
    ASSERT_TRUE(first.insertTimeRange(seconds(0.0, 1.5), tone, MediaTime::zero()));
    ASSERT_TRUE(second.insertTimeRange(seconds(0.5, 1.0), tone, MediaTime::fromSeconds(1.0)));
    EXPECT_EQ(composition.duration(), MediaTime::fromSeconds(2.0));
    ASSERT_TRUE(first.insertEmptyTimeRange(seconds(1.5, 1.25)));
    EXPECT_EQ(composition.duration(), MediaTime::fromSeconds(2.75));
    composition.removeTrack(1);
    EXPECT_EQ(composition.duration(), MediaTime::fromSeconds(2.0));
    EXPECT_EQ(composition.track(1), nullptr);
    EXPECT_EQ(composition.addTrack().trackID(), 3); // identifiers are not reused
}

TEST_F(CompositionTest, InsertingInsideASegmentSplitsItAndMovesTheRestLater) {
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    ASSERT_TRUE(track.insertTimeRange(seconds(0.0, 2.0), tone, MediaTime::zero()));
    ASSERT_TRUE(track.insertEmptyTimeRange(seconds(0.5, 0.25)));
    ASSERT_EQ(track.segments().size(), 3u);
    const auto& s = track.segments();
    EXPECT_EQ(s[0].target, seconds(0.0, 0.5));
    EXPECT_EQ(s[0].source, seconds(0.0, 0.5));
    EXPECT_TRUE(s[1].isEmptyRange());
    EXPECT_EQ(s[1].target, seconds(0.5, 0.25));
    EXPECT_EQ(s[2].target, seconds(0.75, 1.5));
    EXPECT_EQ(s[2].source, seconds(0.5, 1.5));
    EXPECT_EQ(track.endTime(), MediaTime::fromSeconds(2.25));
}

TEST_F(CompositionTest, InsertingAtTheStartMovesEverythingLater) {
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    ASSERT_TRUE(track.insertTimeRange(seconds(1.0, 1.0), tone, MediaTime::zero()));
    ASSERT_TRUE(track.insertTimeRange(seconds(0.0, 0.5), tone, MediaTime::zero()));
    ASSERT_EQ(track.segments().size(), 2u);
    EXPECT_EQ(track.segments()[0].source, seconds(0.0, 0.5));
    EXPECT_EQ(track.segments()[1].target, seconds(0.5, 1.0));
    EXPECT_EQ(track.segments()[1].source, seconds(1.0, 1.0));
}

TEST_F(CompositionTest, InsertingBeyondTheEndLeavesSilenceInBetween) {
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    ASSERT_TRUE(track.insertTimeRange(seconds(0.0, 1.0), tone, MediaTime::fromSeconds(3.0)));
    ASSERT_EQ(track.segments().size(), 2u);
    EXPECT_TRUE(track.segments()[0].isEmptyRange());
    EXPECT_EQ(track.segments()[0].target, seconds(0.0, 3.0));
    EXPECT_EQ(track.endTime(), MediaTime::fromSeconds(4.0));
}

TEST_F(CompositionTest, RefusesWhatCannotBeInserted) {
    Composition composition;
    CompositionTrack& track = composition.addTrack();
    QString error;
    const MediaAsset missing = MediaAsset::open(dir.file("missing.mp3"));
    EXPECT_FALSE(track.insertTimeRange(seconds(0.0, 1.0), missing, MediaTime::zero(), &error));
    EXPECT_TRUE(error.contains("missing.mp3")) << error.toStdString();
    EXPECT_FALSE(track.insertTimeRange(seconds(2.5, 1.0), tone, MediaTime::zero(), &error));
    EXPECT_FALSE(track.insertTimeRange(seconds(0.0, -1.0), tone, MediaTime::zero(), &error));
    EXPECT_FALSE(track.insertTimeRange(seconds(0.0, 1.0), tone, MediaTime::invalid(), &error));
    EXPECT_FALSE(track.insertEmptyTimeRange(seconds(0.0, -1.0)));
    EXPECT_TRUE(track.isEmpty());
    // Nothing to insert is not a failure.
    EXPECT_TRUE(track.insertTimeRange(seconds(0.0, 0.0), tone, MediaTime::zero()));
    EXPECT_TRUE(track.isEmpty());
}

TEST_F(CompositionTest, CopiesAreIndependent) {
    Composition original;
    ASSERT_TRUE(original.addTrack().insertTimeRange(seconds(0.0, 1.0), tone, MediaTime::zero()));
    Composition copy = original;
    ASSERT_TRUE(original.track(1)->insertEmptyTimeRange(seconds(1.0, 1.0)));
    EXPECT_EQ(copy.duration(), MediaTime::fromSeconds(1.0));
    EXPECT_EQ(original.duration(), MediaTime::fromSeconds(2.0));
}
