#include "platform/media/AudioMix.h"

#include <gtest/gtest.h>

using namespace platform::media;

namespace {
TimeRange seconds(double start, double duration) {
    return TimeRange::fromSeconds(start, duration);
}
} // namespace

TEST(MixInputParameters, LevelIsOneBeforeTheFirstEvent) {
    MixInputParameters params(3);
    EXPECT_FLOAT_EQ(params.volumeAt(5.0), 1.0f);
    params.setVolumeRamp(0.0f, 0.5f, seconds(2.0, 1.0));
    EXPECT_FLOAT_EQ(params.volumeAt(1.99), 1.0f);
    EXPECT_FLOAT_EQ(params.volumeAt(MediaTime::fromSeconds(1.5)), 1.0f);
    EXPECT_EQ(params.trackID(), 3);
}

TEST(MixInputParameters, RampIsLinearAndItsEndLevelHolds) {
    MixInputParameters params;
    params.setVolumeRamp(0.0f, 0.5f, seconds(0.0, 3.0));
    EXPECT_FLOAT_EQ(params.volumeAt(0.0), 0.0f);
    EXPECT_NEAR(params.volumeAt(1.5), 0.25f, 1e-6);
    EXPECT_NEAR(params.volumeAt(MediaTime::fromSeconds(2.25)), 0.375f, 1e-6);
    EXPECT_FLOAT_EQ(params.volumeAt(3.0), 0.5f);
    EXPECT_FLOAT_EQ(params.volumeAt(100.0), 0.5f);
}

TEST(MixInputParameters, ALaterEventTakesOverFromItsStart) {
    MixInputParameters params;
    params.setVolumeRamp(0.0f, 1.0f, seconds(0.0, 10.0));
    params.setVolume(0.2f, MediaTime::fromSeconds(5.0));
    EXPECT_NEAR(params.volumeAt(4.0), 0.4f, 1e-6);
    EXPECT_FLOAT_EQ(params.volumeAt(5.0), 0.2f);
    EXPECT_FLOAT_EQ(params.volumeAt(9.0), 0.2f);
}

TEST(MixInputParameters, EventsAreOrderedByStartWhateverTheOrderTheyWereSetIn) {
    MixInputParameters params;
    params.setVolume(0.7f, MediaTime::fromSeconds(8.0));
    params.setVolumeRamp(1.0f, 0.0f, seconds(2.0, 2.0));
    params.setVolume(0.3f, MediaTime::fromSeconds(5.0));
    ASSERT_EQ(params.events().size(), 3u);
    EXPECT_EQ(params.events()[0].start, MediaTime::fromSeconds(2.0));
    EXPECT_EQ(params.events()[2].start, MediaTime::fromSeconds(8.0));
    EXPECT_NEAR(params.volumeAt(3.0), 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(params.volumeAt(4.5), 0.0f);
    EXPECT_FLOAT_EQ(params.volumeAt(6.0), 0.3f);
    EXPECT_FLOAT_EQ(params.volumeAt(8.5), 0.7f);
}

TEST(MixInputParameters, EventsAtTheSameTimeLetTheLastSetWin) {
    MixInputParameters params;
    params.setVolume(0.1f, MediaTime::fromSeconds(1.0));
    params.setVolume(0.9f, MediaTime::fromSeconds(1.0));
    EXPECT_FLOAT_EQ(params.volumeAt(2.0), 0.9f);
}

TEST(MixInputParameters, RampOfNoLengthIsAStepToItsEndLevel) {
    MixInputParameters params;
    EXPECT_TRUE(params.setVolumeRamp(0.0f, 0.6f, seconds(2.0, 0.0)));
    EXPECT_FLOAT_EQ(params.volumeAt(1.9), 1.0f);
    EXPECT_FLOAT_EQ(params.volumeAt(2.0), 0.6f);
    // A fade computed as min(d / 2 - 0.1, 3) for a very short sound has a negative length.
    EXPECT_TRUE(params.setVolumeRamp(0.6f, 0.0f, seconds(4.0, -0.05)));
    EXPECT_FLOAT_EQ(params.volumeAt(4.0), 0.0f);
    EXPECT_FALSE(params.setVolumeRamp(0.0f, 1.0f, TimeRange(MediaTime::invalid(), MediaTime(1, 1))));
    EXPECT_FALSE(params.setVolume(0.5f, MediaTime::invalid()));
    EXPECT_EQ(params.events().size(), 2u);
}

// Ramps of a song from 0 to 60 s at level 0.5 with a clip window from 10 to 20 s at level 0.2.
TEST(MixInputParameters, FadesAroundAVolumeWindow) {
    MixInputParameters params;
    params.setVolumeRamp(0.0f, 0.5f, seconds(0.0, 3.0));
    params.setVolumeRamp(0.5f, 0.2f, seconds(7.0, 3.0));
    params.setVolumeRamp(0.5f, 0.2f, seconds(10.0, 3.0));
    params.setVolumeRamp(0.2f, 0.5f, seconds(17.0, 3.0));
    params.setVolumeRamp(0.2f, 0.5f, seconds(20.0, 3.0));
    params.setVolumeRamp(0.5f, 0.0f, seconds(57.0, 3.0));
    EXPECT_NEAR(params.volumeAt(1.5), 0.25f, 1e-6);
    EXPECT_NEAR(params.volumeAt(5.0), 0.5f, 1e-6);
    EXPECT_NEAR(params.volumeAt(8.5), 0.35f, 1e-6);
    EXPECT_NEAR(params.volumeAt(10.0), 0.5f, 1e-6); // the second ramp starts again from 0.5
    EXPECT_NEAR(params.volumeAt(11.5), 0.35f, 1e-6);
    EXPECT_NEAR(params.volumeAt(15.0), 0.2f, 1e-6);
    EXPECT_NEAR(params.volumeAt(21.5), 0.35f, 1e-6);
    EXPECT_NEAR(params.volumeAt(40.0), 0.5f, 1e-6);
    EXPECT_NEAR(params.volumeAt(58.5), 0.25f, 1e-6);
    EXPECT_FLOAT_EQ(params.volumeAt(61.0), 0.0f);
}

TEST(MixInputParameters, FilledVolumesMatchPointLookups) {
    MixInputParameters params;
    params.setVolumeRamp(0.0f, 1.0f, seconds(0.01, 0.02));
    params.setVolume(0.25f, MediaTime::fromSeconds(0.02));
    params.setVolumeRamp(0.25f, 0.75f, seconds(0.04, 0.01));
    std::vector<float> volumes(3000);
    params.fillVolumes(100, 3000, 44100, volumes.data());
    for (int i = 0; i < 3000; ++i)
        ASSERT_NEAR(volumes[static_cast<size_t>(i)], params.volumeAt((100.0 + i) / 44100.0), 1e-6) << i;
    MixInputParameters none;
    none.fillVolumes(0, 10, 44100, volumes.data());
    EXPECT_FLOAT_EQ(volumes[9], 1.0f);
}

TEST(AudioMix, FindsTheParametersOfATrack) {
    AudioMix mix;
    mix.addInputParameters(MixInputParameters(2));
    MixInputParameters third(3);
    third.setVolume(0.5f, MediaTime::zero());
    mix.addInputParameters(third);
    ASSERT_NE(mix.parametersForTrack(3), nullptr);
    EXPECT_FLOAT_EQ(mix.parametersForTrack(3)->volumeAt(1.0), 0.5f);
    EXPECT_EQ(mix.parametersForTrack(7), nullptr);
    EXPECT_EQ(mix.inputParameters().size(), 2u);
}
