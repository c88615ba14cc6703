// The mixers end, and never throw, whatever the songs and lengths they are given.

#include "MixerTestSupport.h"

#include "export/DVDMenuAudioMixerObject.h"
#include "export/NSAudioMixerObject.h"

#include <QFile>

#include <limits>

using mixer_test::MixerTest;
using platform::media::MixInputParameters;

namespace {

void expectNoNegativeRamps(const std::vector<MixInputParameters>& parameters) {
    for (const MixInputParameters& track : parameters)
        for (const auto& event : track.events())
            EXPECT_GE(event.end, event.start) << "track " << track.trackID();
}

} // namespace

class MixerFaultsTest : public MixerTest {
protected:
    void writeGarbage(const QString& name) {
        QFile out(file(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(4096, '\x5a'));
    }
};

TEST_F(MixerFaultsTest, ALoopingExportOfUnreadableSongsEndsAndIsPaddedToTheTotal) {
    writeGarbage("noise.mp3");
    setSongs({"missing.mp3", "noise.mp3"});
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(7, 0)});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudio();
    ASSERT_EQ(mixer->compositionTrackBK()->segments().size(), 1u);
    EXPECT_TRUE(mixer->compositionTrackBK()->segments()[0].isEmptyRange());
    EXPECT_GE(mixer->composition().duration().seconds(), 7.0);
}

TEST_F(MixerFaultsTest, ALoopingExportOfASongWithoutLengthEnds) {
    writeSong("empty.wav", 0.0);
    setSongs({"empty.wav"});
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(3, 0)});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudio();
    EXPECT_GE(mixer->composition().duration().seconds(), 3.0);
    EXPECT_NEAR(levelsAt(mixer->composition(), mixer->audioMix(), 1.0).left, 0.0f, 1e-6);
}

TEST_F(MixerFaultsTest, ALoopingExportOfSongsOfAFewMillisecondsLaysThemOnce) {
    const QStringList ticks{"tick0.wav", "tick1.wav", "tick2.wav"};
    for (const QString& name : ticks)
        writeSong(name, 0.0017);
    setSongs(ticks);
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(20, 0)});
    auto mixer = NSAudioMixerObject::installNewMixer(project);

    // Repeated, they would lay thousands of pieces a few samples long, each laying slower than the last.
    mixer->mixProjectAudio();
    EXPECT_EQ(mixer->compositionTrackBK()->segments().size(), 4u) << "the songs, then silence";
    EXPECT_GE(mixer->composition().duration().seconds(), 20.0);
    mixer->mixProjectAudio_Sub_ManyBKCompositionTrack();
    EXPECT_EQ(mixer->composition().tracks().size(), 3u);
}

TEST_F(MixerFaultsTest, AMenuOfSongsShorterThanASecondEndsAndCoversTheMenu) {
    DVDMenuAudioMixerObject mixer({writeSong("blip.wav", 0.6), writeSong("beep.wav", 0.9)}, 5.0);
    mixer.mixProjectAudio();
    // Both laid at 0 (their whole seconds are 0), then the pass ends.
    ASSERT_EQ(mixer.allAudioParams().size(), 2u);
    EXPECT_NEAR(mixer.composition().duration().seconds(), 5.0, 1e-9);
    EXPECT_GT(levelsAt(mixer.composition(), mixer.audioMix(), 0.3).left, 0.5f);
}

TEST_F(MixerFaultsTest, AMenuOfUnreadableSongsEnds) {
    writeGarbage("noise.mp3");
    DVDMenuAudioMixerObject mixer({file("noise.mp3"), file("missing.mp3")}, 4.0);
    mixer.mixProjectAudio();
    EXPECT_TRUE(mixer.allAudioParams().empty());
    EXPECT_NEAR(mixer.composition().duration().seconds(), 4.0, 1e-9);
}

TEST_F(MixerFaultsTest, AMenuOfNoLengthOrABrokenLengthEnds) {
    const QString song = writeSong("song.wav", 2.0);
    for (double total : {0.0, -3.0, std::numeric_limits<double>::quiet_NaN()}) {
        DVDMenuAudioMixerObject mixer({song}, total);
        mixer.mixProjectAudio();
        EXPECT_LE(mixer.composition().duration().seconds(), 0.0) << total;
        DVDMenuAudioMixerObject silent({}, total);
        silent.mixProjectAudio();
        EXPECT_LE(silent.composition().duration().seconds(), 0.0) << total;
    }
}

TEST_F(MixerFaultsTest, APreviewOfAMixWithoutLengthStartsAtZero) {
    setSlides({});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudioForPlaying();
    ASSERT_EQ(mixer->composition().duration().seconds(), 0.0);
    ASSERT_TRUE(mixer->PlayMixedAudioFrom(5.0));
    ASSERT_NE(mixer->player(), nullptr);
    EXPECT_EQ(mixer->player()->currentTime().seconds(), 0.0);
    sinks.back()->advance(0.5);
    EXPECT_EQ(mixer->player()->currentTime().seconds(), 0.0);
}

TEST_F(MixerFaultsTest, AShortSlideSoundStepsToNinetyPercentInsteadOfFadingBackwards) {
    writeSound("click.wav", 0.15);
    setSlides({photo(1, 0), photo(2, 0, file("click.wav"))});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudio();
    ASSERT_EQ(mixer->allAudioParams().size(), 2u);
    expectNoNegativeRamps(mixer->allAudioParams());
    EXPECT_NEAR(levelsAt(mixer->composition(), mixer->audioMix(), 1.01).right, 0.9f, 0.002f);
    EXPECT_NEAR(levelsAt(mixer->composition(), mixer->audioMix(), 1.14).right, 0.9f, 0.002f);
}

TEST_F(MixerFaultsTest, AShortClipWindowKeepsTheMusicAtTheChosenLevels) {
    writeSong("song.wav", 8.0);
    setSongs({"song.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.6f);
    setSlides({photo(4, 0), clip(0.15f, 0, 0.1f), photo(3.85f, 0)});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudio();
    expectNoNegativeRamps(mixer->allAudioParams());
    ASSERT_EQ(mixer->allAudioParams().size(), 1u) << "the background's levels are there";
    const auto& mix = mixer->composition();
    EXPECT_NEAR(levelsAt(mix, mixer->audioMix(), 2.0).left, 0.6f, 0.002f);
    EXPECT_NEAR(levelsAt(mix, mixer->audioMix(), 4.07).left, 0.1f, 0.002f) << "stepped into the clip's level";
    EXPECT_NEAR(levelsAt(mix, mixer->audioMix(), 6.0).left, 0.6f, 0.002f);
}

TEST_F(MixerFaultsTest, AShortMenuSongStepsToNinetyPercent) {
    DVDMenuAudioMixerObject mixer({writeSong("blip.wav", 0.15)}, 0.15);
    mixer.mixProjectAudio();
    ASSERT_EQ(mixer.allAudioParams().size(), 1u);
    expectNoNegativeRamps(mixer.allAudioParams());
    EXPECT_NEAR(levelsAt(mixer.composition(), mixer.audioMix(), 0.01).left, 0.9f, 0.002f);
    EXPECT_NEAR(levelsAt(mixer.composition(), mixer.audioMix(), 0.14).left, 0.9f, 0.002f);
}
