#include "export/MixSupport.h"
#include "export/NSAudioMixerObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

void expectWindows(const std::vector<BKMusicVolumeInfo>& actual,
                   const std::vector<BKMusicVolumeInfo>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].fltStart, expected[i].fltStart, 1e-5) << "window " << i;
        EXPECT_NEAR(actual[i].fltDuration, expected[i].fltDuration, 1e-5) << "window " << i;
        EXPECT_FLOAT_EQ(actual[i].fltVolume, expected[i].fltVolume) << "window " << i;
    }
}

} // namespace

TEST(FadeLength, IsHalfTheLengthLessATenthUpToThreeSeconds) {
    EXPECT_DOUBLE_EQ(mix_support::fadeLength(60.0), 3.0);
    EXPECT_DOUBLE_EQ(mix_support::fadeLength(6.2), 3.0);
    EXPECT_DOUBLE_EQ(mix_support::fadeLength(4.0), 1.9);
    EXPECT_NEAR(mix_support::fadeLength(0.3), 0.05, 1e-12);
}

TEST(FadeLength, IsNeverNegativeForShortOrBrokenLengths) {
    EXPECT_EQ(mix_support::fadeLength(0.2), 0.0);
    EXPECT_EQ(mix_support::fadeLength(0.15), 0.0);
    EXPECT_EQ(mix_support::fadeLength(0.0), 0.0);
    EXPECT_EQ(mix_support::fadeLength(-5.0), 0.0);
    EXPECT_EQ(mix_support::fadeLength(kNaN), 0.0);
    EXPECT_EQ(mix_support::fadeLength(-kInfinity), 0.0);
}

TEST(PreviewStart, APositionWithinTheMixIsKept) {
    EXPECT_DOUBLE_EQ(mix_support::previewStart(3.0, 10.0), 3.0);
    EXPECT_DOUBLE_EQ(mix_support::previewStart(10.0, 10.0), 10.0);
    EXPECT_DOUBLE_EQ(mix_support::previewStart(0.0, 10.0), 0.0);
}

TEST(PreviewStart, APositionBeyondTheMixIsReducedByWholeLengths) {
    EXPECT_NEAR(mix_support::previewStart(25.0, 10.0), 5.0, 1e-9);
    EXPECT_NEAR(mix_support::previewStart(20.0, 10.0), 10.0, 1e-9)
        << "as taking the length away while beyond it";
    EXPECT_NEAR(mix_support::previewStart(10.5, 0.25), 0.25, 1e-9);
    const double far = mix_support::previewStart(1e12 + 3.0, 7.0);
    EXPECT_GT(far, 0.0);
    EXPECT_LE(far, 7.0);
}

TEST(PreviewStart, AMixWithoutAPositiveFiniteLengthStartsAtZero) {
    EXPECT_EQ(mix_support::previewStart(5.0, 0.0), 0.0);
    EXPECT_EQ(mix_support::previewStart(5.0, -2.0), 0.0);
    EXPECT_EQ(mix_support::previewStart(5.0, kNaN), 0.0);
    EXPECT_EQ(mix_support::previewStart(5.0, kInfinity), 0.0);
    EXPECT_EQ(mix_support::previewStart(kNaN, 10.0), 0.0);
    EXPECT_EQ(mix_support::previewStart(kInfinity, 10.0), 0.0);
}

TEST(SongVolumeWindows, ASongWithoutClipsIsOneWindow) {
    expectWindows(NSAudioMixerObject::songVolumeWindows(5.0, 20.0, 0.7f, {}), {{5.0f, 20.0f, 0.7f}});
}

TEST(SongVolumeWindows, TheWorkedExampleGivesThreeWindows) {
    expectWindows(NSAudioMixerObject::songVolumeWindows(0.0, 60.0, 0.5f, {{10.0f, 10.0f, 0.2f}}),
                  {{0.0f, 10.0f, 0.5f}, {10.0f, 10.0f, 0.2f}, {20.0f, 40.0f, 0.5f}});
}

TEST(SongVolumeWindows, AClipWindowRunningPastTheSongIsCutAtItsEnd) {
    expectWindows(NSAudioMixerObject::songVolumeWindows(0.0, 10.0, 0.5f, {{7.0f, 6.0f, 0.1f}}),
                  {{0.0f, 7.0f, 0.5f}, {7.0f, 3.0f, 0.1f}});
}

TEST(SongVolumeWindows, AClipWindowCarriedFromThePreviousSongKeepsItsLevel) {
    // Even a level within 0.03 of the song's gets a window when it carries over.
    expectWindows(NSAudioMixerObject::songVolumeWindows(10.0, 10.0, 0.5f, {{7.0f, 6.0f, 0.51f}}),
                  {{10.0f, 3.0f, 0.51f}, {13.0f, 7.0f, 0.5f}});
}

TEST(SongVolumeWindows, ClipWindowsAtTheSongsLevelOrOutsideItAreSkipped) {
    const std::vector<BKMusicVolumeInfo> clips = {
        {0.0f, 2.0f, 0.1f}, {12.0f, 3.0f, 0.52f}, {16.0f, 2.0f, 0.2f}, {40.0f, 2.0f, 0.1f}};
    expectWindows(NSAudioMixerObject::songVolumeWindows(10.0, 20.0, 0.5f, clips),
                  {{10.0f, 6.0f, 0.5f}, {16.0f, 2.0f, 0.2f}, {18.0f, 12.0f, 0.5f}});
}

TEST(SongVolumeWindows, NoSlivers) {
    // A clip window 0.05 s after the song's start: the stretch before it is put in front all the same;
    // one ending 0.05 s before the song's end leaves no stretch after it.
    expectWindows(NSAudioMixerObject::songVolumeWindows(0.0, 10.0, 0.5f, {{0.05f, 9.9f, 0.2f}}),
                  {{0.0f, 0.05f, 0.5f}, {0.05f, 9.9f, 0.2f}});
    expectWindows(NSAudioMixerObject::songVolumeWindows(0.0, 10.0, 0.5f, {{0.02f, 9.0f, 0.2f}}),
                  {{0.02f, 9.0f, 0.2f}, {9.02f, 0.98f, 0.5f}});
}

TEST(SongVolumeWindows, TwoClipsInARow) {
    expectWindows(
        NSAudioMixerObject::songVolumeWindows(0.0, 30.0, 0.5f, {{4.0f, 8.0f, 0.2f}, {12.0f, 6.0f, 0.0f}}),
        {{0.0f, 4.0f, 0.5f}, {4.0f, 8.0f, 0.2f}, {12.0f, 6.0f, 0.0f}, {18.0f, 12.0f, 0.5f}});
}
