#include "MixerTestSupport.h"

#include "export/DVDMenuAudioMixerObject.h"
#include "platform/foundation/StandardPaths.h"

using mixer_test::MixerTest;

namespace {

constexpr float kTolerance = 0.002f;

// Where each track's sound lies, in seconds, and from which file.
struct Laid {
    QString file;
    double start;
    double length;
};

std::vector<Laid> laidSongs(const DVDMenuAudioMixerObject& mixer) {
    std::vector<Laid> laid;
    for (const auto& track : mixer.composition().tracks())
        for (const auto& piece : track.segments())
            if (!piece.isEmptyRange())
                laid.push_back({piece.sourcePath.section('/', -1), piece.target.start.seconds(),
                                piece.target.duration.seconds()});
    return laid;
}

} // namespace

class MenuMixerTest : public MixerTest {
protected:
    float level(const DVDMenuAudioMixerObject& mixer, double at) {
        return levelsAt(mixer.composition(), mixer.audioMix(), at).left;
    }
};

TEST_F(MenuMixerTest, WithoutSongsOneSecondOfSilenceIsPaddedToTheMenusLength) {
    DVDMenuAudioMixerObject mixer({}, 5.0);
    mixer.mixProjectAudio();
    ASSERT_EQ(mixer.composition().tracks().size(), 1u);
    const auto& pieces = mixer.composition().tracks()[0].segments();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].sourcePath, platform::paths::pathForResource("silence1s", "mp3"));
    EXPECT_TRUE(pieces[1].isEmptyRange());
    EXPECT_NEAR(mixer.composition().duration().seconds(), 5.0, 1e-9);
    EXPECT_TRUE(mixer.allAudioParams().empty());
}

TEST_F(MenuMixerTest, AMenuShorterThanTheSilenceCutsIt) {
    DVDMenuAudioMixerObject mixer({}, 0.4);
    mixer.mixProjectAudio();
    EXPECT_NEAR(mixer.composition().duration().seconds(), 0.4, 1e-9);
    EXPECT_EQ(mixer.composition().tracks()[0].segments().size(), 1u);
}

TEST_F(MenuMixerTest, ASongLongerThanTheMenuIsCutAndFadesAtBothEnds) {
    DVDMenuAudioMixerObject mixer({writeSong("song.wav", 10.0)}, 6.0);
    mixer.mixProjectAudio();
    EXPECT_NEAR(mixer.composition().duration().seconds(), 6.0, 1e-9);
    ASSERT_EQ(mixer.allAudioParams().size(), 1u);
    EXPECT_EQ(mixer.allAudioParams()[0].trackID(), mixer.composition().tracks()[0].trackID());
    // Fades of 6 x 0.5 - 0.1 = 2.9 s.
    EXPECT_NEAR(level(mixer, 1.45), 0.45f, kTolerance);
    EXPECT_NEAR(level(mixer, 3.0), 0.9f, kTolerance);
    EXPECT_NEAR(level(mixer, 4.55), 0.45f, kTolerance);
}

TEST_F(MenuMixerTest, ShortSongsRepeatAWholeNumberOfSecondsApartAndOverlap) {
    DVDMenuAudioMixerObject mixer({writeSong("a.wav", 2.5), writeSong("b.wav", 3.0)}, 9.0);
    mixer.mixProjectAudio();
    const std::vector<Laid> laid = laidSongs(mixer);
    const std::vector<Laid> expected = {
        {"a.wav", 0, 2.5}, {"b.wav", 2, 3.0}, {"a.wav", 5, 2.5}, {"b.wav", 7, 2.0}};
    ASSERT_EQ(laid.size(), expected.size());
    for (size_t i = 0; i < laid.size(); ++i) {
        EXPECT_EQ(laid[i].file, expected[i].file) << i;
        EXPECT_NEAR(laid[i].start, expected[i].start, 1e-9) << i;
        EXPECT_NEAR(laid[i].length, expected[i].length, 1e-9) << i;
    }
    EXPECT_EQ(mixer.allAudioParams().size(), 4u);
    EXPECT_NEAR(mixer.composition().duration().seconds(), 9.0, 1e-9);
    // At 2.25 s the first song fades out (1.35-2.5 s) under the second's fade-in (2-3.4 s).
    const float out = 0.9f * 0.25f / 1.15f;
    const float in = 0.9f * 0.25f / 1.4f;
    EXPECT_NEAR(level(mixer, 2.25), out + in, kTolerance);
}

TEST_F(MenuMixerTest, APreviewMixMakesOnePass) {
    DVDMenuAudioMixerObject mixer({writeSong("a.wav", 2.5)}, 20.0);
    mixer.mixProjectAudioForPlaying();
    EXPECT_TRUE(mixer.bMixForPlaying());
    EXPECT_EQ(laidSongs(mixer).size(), 1u);
}

TEST_F(MenuMixerTest, ASecondBuildStartsAfresh) {
    DVDMenuAudioMixerObject mixer({writeSong("a.wav", 2.5)}, 6.0);
    mixer.mixProjectAudio();
    const size_t songs = laidSongs(mixer).size();
    mixer.mixProjectAudio();
    EXPECT_EQ(laidSongs(mixer).size(), songs);
    EXPECT_EQ(mixer.allAudioParams().size(), songs);
}

TEST_F(MenuMixerTest, ASoundAddedAtATimePlaysWholeWithoutLevels) {
    DVDMenuAudioMixerObject mixer({}, 5.0);
    mixer.mixProjectAudio();
    EXPECT_TRUE(mixer.AddSlideItemMusic(writeSong("a.wav", 1.5), 2.0f));
    EXPECT_FALSE(mixer.AddSlideItemMusic(QString(), 0.0f));
    EXPECT_FALSE(mixer.AddSlideItemMusic(file("missing.wav"), 0.0f));
    EXPECT_TRUE(mixer.allAudioParams().empty());
    EXPECT_NEAR(level(mixer, 2.1), 1.0f, kTolerance);
    EXPECT_NEAR(level(mixer, 3.6), 0.0f, kTolerance);
}
