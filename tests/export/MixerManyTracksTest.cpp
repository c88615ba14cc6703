// The mixer's earlier builds, with every song on a track of its own: what the mix sounds like, rendered
// through its parameters (songs on the left channel, slide sounds and layers on the right).
#include "MixerTestSupport.h"

#include "export/NSAudioMixerObject.h"
#include "model/QuartzSlideItem.h"
#include "platform/foundation/MainThread.h"

using mixer_test::MixerTest;
using platform::media::CompositionTrack;

namespace {

constexpr float kTolerance = 0.002f;

struct Expected {
    double at;
    float level;
};

} // namespace

class MixerManyTracksTest : public MixerTest {
protected:
    std::shared_ptr<NSAudioMixerObject> build(bool old, bool preview = false) {
        auto mixer = NSAudioMixerObject::installNewMixer(project);
        mixer->setBMixForPlaying(preview);
        if (old)
            mixer->mixProjectAudio_Old();
        else
            mixer->mixProjectAudio_Sub_ManyBKCompositionTrack();
        return mixer;
    }
    enum Channel { Songs, Sounds };
    void expectLevels(const NSAudioMixerObject& mixer, Channel channel,
                      const std::vector<Expected>& expected) {
        for (const Expected& e : expected) {
            const auto levels = levelsAt(mixer.composition(), mixer.audioMix(), e.at);
            EXPECT_NEAR(channel == Songs ? levels.left : levels.right, e.level, kTolerance)
                << (channel == Songs ? "music" : "sound") << " at " << e.at << " s";
        }
    }
    static std::vector<double> trackEnds(const NSAudioMixerObject& mixer) {
        std::vector<double> ends;
        for (const CompositionTrack& track : mixer.composition().tracks())
            ends.push_back(track.endTime().seconds());
        return ends;
    }
    MusicItemRef layer(const QString& name, float start) {
        MusicItemRef item = test_support::songNamed(name);
        item->setFStartPosition(start);
        return item;
    }
};

TEST_F(MixerManyTracksTest, WithoutTheLoopFlagEverySongPlaysOnceOnItsOwnTrackThenSilence) {
    writeSong("a.wav", 3.0);
    writeSong("b.wav", 4.0);
    setSongs({"a.wav", "b.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    setSlides({photo(10, 0)});
    const auto mixer = build(false);

    // Each song's track runs on in silence to half a second past the end; no background track.
    EXPECT_EQ(trackEnds(*mixer), std::vector<double>({10.5, 10.5}));
    EXPECT_EQ(mixer->compositionTrackBK(), nullptr);
    ASSERT_EQ(mixer->allAudioParams().size(), 2u);
    // a: 0-3 s with fades of 1.4 s; b: 3-7 s with fades of 1.9 s.
    expectLevels(*mixer, Songs,
                 {{0.7, 0.25f}, {1.5, 0.5f}, {2.3, 0.25f}, {3.95, 0.25f}, {5.0, 0.5f}, {8.0, 0.0f}});
}

TEST_F(MixerManyTracksTest, WithTheLoopFlagTheSongsRepeatUntilTheyReachTheEndButAPreviewTakesOnePass) {
    writeSong("a.wav", 4.0);
    setSongs({"a.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(10, 0)});

    const auto exported = build(false);
    // 0-4, 4-8 and 8-10 s, the last cut at the end; nothing padded.
    EXPECT_EQ(trackEnds(*exported), std::vector<double>({4.0, 8.0, 10.0}));
    expectLevels(*exported, Songs, {{2.0, 0.5f}, {6.0, 0.5f}, {9.0, 0.5f}, {9.999, 0.0f}});

    const auto preview = build(false, true);
    EXPECT_EQ(trackEnds(*preview), std::vector<double>({4.0}));
    expectLevels(*preview, Songs, {{2.0, 0.5f}, {6.0, 0.0f}});
}

TEST_F(MixerManyTracksTest, UnreadableSongsWithTheLoopFlagEndTheBuild) {
    ASSERT_TRUE(test_support::writeBytes(file("junk.mp3"), "not a song"));
    setSongs({"junk.mp3", "missing.wav"});
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(10, 0)});
    const auto mixer = build(false);
    EXPECT_TRUE(mixer->composition().tracks().empty());
    EXPECT_TRUE(mixer->allAudioParams().empty());
}

TEST_F(MixerManyTracksTest, WithoutSongsTheSilenceLiesOnATrackOfItsOwn) {
    setSlides({photo(6, 0)});
    const auto mixer = build(false);
    ASSERT_EQ(mixer->composition().tracks().size(), 1u);
    const auto& segments = mixer->composition().tracks().front().segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_FALSE(segments[0].isEmptyRange()); // the one-second silence
    EXPECT_TRUE(segments[1].isEmptyRange());
    EXPECT_NEAR(mixer->composition().duration().seconds(), 6.0, 1e-9);
    EXPECT_TRUE(mixer->allAudioParams().empty());
}

TEST_F(MixerManyTracksTest, AudioLayersStartOnWholeSecondsAtTheirOwnLevel) {
    writeSound("layer.wav", 2.0);
    project->setAudioLayerArray({layer("layer.wav", 2.7f), layer("missing.wav", 0.0f)});
    setSlides({photo(6, 0)});
    for (const bool old : {false, true}) {
        const auto mixer = build(old);
        expectLevels(*mixer, Sounds, {{1.9, 0.0f}, {2.05, 1.0f}, {3.9, 1.0f}, {4.1, 0.0f}});
    }
    NSAudioMixerObject mixer(project);
    EXPECT_FALSE(mixer.addAudioLayerMusic(*layer("missing.wav", 0.0f)));
    EXPECT_TRUE(mixer.composition().tracks().empty());
}

TEST_F(MixerManyTracksTest, TheOldBuildTakesOnePassOfTheSongsWhateverTheLoopFlag) {
    writeSong("a.wav", 2.5);
    setSongs({"a.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(10, 0)});
    const auto mixer = build(true);
    EXPECT_EQ(trackEnds(*mixer), std::vector<double>({2.5}));
    // Fades of 1.15 s.
    expectLevels(*mixer, Songs, {{0.575, 0.25f}, {1.25, 0.5f}, {5.0, 0.0f}});
}

TEST_F(MixerManyTracksTest, ASongAddedTheOldWayLiesWholeFromWholeSecondsAtAConstantLevel) {
    writeSong("a.wav", 2.5);
    writeSong("b.wav", 2.5);
    setSlides({photo(3, 0)});
    NSAudioMixerObject mixer(project);
    ASSERT_TRUE(mixer.addBackgroudMusic_old(file("a.wav")));
    ASSERT_TRUE(mixer.addBackgroudMusic_old(file("b.wav")));
    EXPECT_FALSE(mixer.addBackgroudMusic_old(file("missing.wav")));
    // b starts at 2 s, under the last half second of a, and runs past the show's end; without the loop flag
    // each track runs on in silence to half a second past the end, from where its song ends.
    EXPECT_EQ(trackEnds(mixer), std::vector<double>({3.5, 4.5}));
    expectLevels(mixer, Songs, {{0.01, 0.9f}, {1.0, 0.9f}, {2.25, 1.8f}, {4.0, 0.9f}, {4.4, 0.9f}});
    EXPECT_EQ(mixer.allAudioParams().size(), 2u);
}

TEST_F(MixerManyTracksTest, SlideSoundsOfEachBuild) {
    writeSound("photo.wav", 1.0);
    writeSound("clip.wav", 1.0);
    writeSound("composition.wav", 1.0);
    auto composition = platform::makeMainThreadShared<QuartzSlideItem>();
    composition->customSetDurations(2, 1);
    composition->setStrVideoFilePath(file("composition.wav"));
    const auto video = clip(2, 1, std::nullopt, file("clip.wav"));
    video->setFltOutputVolume(0.8f);
    setSlides({photo(2, 1, file("photo.wav")), composition, video});
    // Slides start at 0, 3 and 6 s; each sound lasts 1 s with fades of 0.4 s at 0.9.
    expectLevels(*build(false, true), Sounds, {{0.5, 0.9f}, {3.5, 0.9f}, {6.5, 0.0f}});
    // The clip's own sound only in an export's mix, at its own level, from where the transition into it
    // begins.
    expectLevels(*build(false), Sounds, {{0.5, 0.9f}, {3.5, 0.9f}, {5.5, 0.8f}});
    // The old build: every sound at its slide's start at 0.9.
    expectLevels(*build(true), Sounds, {{0.5, 0.9f}, {3.5, 0.9f}, {5.5, 0.0f}, {6.5, 0.9f}});
}
