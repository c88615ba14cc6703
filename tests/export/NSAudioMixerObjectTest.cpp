#include "MixerTestSupport.h"

#include "export/NSAudioMixerObject.h"
#include "model/ContentsFolder.h"
#include "platform/foundation/StandardPaths.h"
#include "support/UserFolders.h"

using mixer_test::MixerTest;
using platform::media::CompositionSegment;

namespace {

constexpr float kTolerance = 0.002f;

double seconds(const platform::media::MediaTime& time) {
    return time.seconds();
}

} // namespace

class AudioMixerTest : public MixerTest {
protected:
    std::shared_ptr<NSAudioMixerObject> exportMix() {
        auto mixer = NSAudioMixerObject::installNewMixer(project);
        mixer->mixProjectAudio();
        return mixer;
    }
    float songLevel(const NSAudioMixerObject& mixer, double at) {
        return levelsAt(mixer.composition(), mixer.audioMix(), at).left;
    }
    float soundLevel(const NSAudioMixerObject& mixer, double at) {
        return levelsAt(mixer.composition(), mixer.audioMix(), at).right;
    }
    const std::vector<CompositionSegment>& background(const NSAudioMixerObject& mixer) {
        return mixer.compositionTrackBK()->segments();
    }
};

TEST_F(AudioMixerTest, InstallingAMixerMakesItTheProjectsAndLetsTheOldOneGo) {
    auto first = NSAudioMixerObject::installNewMixer(project);
    EXPECT_EQ(project->audioMixer(), first);
    std::weak_ptr<NSAudioMixerObject> old = first;
    first.reset();
    auto second = NSAudioMixerObject::installNewMixer(project);
    EXPECT_EQ(project->audioMixer(), second);
    EXPECT_TRUE(old.expired());
}

TEST_F(AudioMixerTest, AClipWindowLowersTheMusicWithFadesOnBothSidesOfEachBorder) {
    writeSong("song.wav", 20.0);
    setSongs({"song.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    setSlides({photo(8, 0), clip(6, 0, 0.2f), photo(6, 0)});
    ASSERT_DOUBLE_EQ(project->slideshowTotalDuration(), 20.0);
    const auto mixer = exportMix();

    ASSERT_EQ(mixer->bkMusicHighPriorityVolumeInfoArray().size(), 1u);
    const BKMusicVolumeInfo window = mixer->bkMusicHighPriorityVolumeInfoArray()[0];
    EXPECT_FLOAT_EQ(window.fltStart, 8.0f);
    EXPECT_FLOAT_EQ(window.fltDuration, 6.0f);
    EXPECT_FLOAT_EQ(window.fltVolume, 0.2f);

    // Windows 0-8 s at 0.5, 8-14 s at 0.2 and 14-20 s at 0.5; fades of 3.0, 2.9 and 2.9 s.
    const std::vector<std::pair<double, float>> expected = {
        {1.5, 0.25f},   {4.0, 0.5f},    {6.5, 0.35f},  {8.0, 0.5f},    {9.45, 0.35f}, {11.0, 0.2f},
        {12.55, 0.35f}, {15.45, 0.35f}, {16.95, 0.5f}, {18.55, 0.25f}, {19.999, 0.0f}};
    for (const auto& [at, level] : expected)
        EXPECT_NEAR(songLevel(*mixer, at), level, kTolerance) << "at " << at << " s";
    ASSERT_EQ(mixer->allAudioParams().size(), 1u);
    EXPECT_EQ(mixer->allAudioParams()[0].trackID(), mixer->compositionTrackBK()->trackID());
    EXPECT_EQ(mixer->bkMusicFadeInOutTimeRangeArray().size(), 6u);
}

TEST_F(AudioMixerTest, AClipWithThePhotoLevelGetsNoWindowOfItsOwn) {
    writeSong("song.wav", 12.0);
    setSongs({"song.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.5f);
    setSlides({photo(4, 0), clip(4, 0, 0.52f), photo(4, 0)});
    const auto mixer = exportMix();
    EXPECT_NEAR(songLevel(*mixer, 6.0), 0.5f, kTolerance);
    // One window: fade-in and fade-out only.
    EXPECT_EQ(mixer->bkMusicFadeInOutTimeRangeArray().size(), 2u);
}

TEST_F(AudioMixerTest, AClipWithoutALevelOfItsOwnTakesTheProjectsVideoLevel) {
    project->setFltBackgroundMusicVolumeWhenVideos(0.3f);
    setSlides({photo(4, 1), clip(5, 2, std::nullopt), photo(4, 0)});
    std::vector<BKMusicVolumeInfo> windows;
    NSAudioMixerObject mixer(project);
    mixer.getHighPriorityBKMusicVolumeInfo(&windows);
    mixer.getHighPriorityBKMusicVolumeInfo(nullptr);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_FLOAT_EQ(windows[0].fltStart, 4.0f) << "where the transition into the clip begins";
    EXPECT_FLOAT_EQ(windows[0].fltDuration, 7.0f);
    EXPECT_FLOAT_EQ(windows[0].fltVolume, 0.3f);
}

TEST_F(AudioMixerTest, ASongShorterThanTheShowFadesAndIsFollowedBySilenceToTheEnd) {
    writeSong("song.wav", 4.0);
    setSongs({"song.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(0.8f);
    setSlides({photo(10, 0)});
    const auto mixer = exportMix();
    EXPECT_NEAR(seconds(mixer->composition().duration()), 10.5, 1e-9) << "the total plus half a second";
    ASSERT_EQ(background(*mixer).size(), 2u);
    EXPECT_NEAR(seconds(background(*mixer)[0].target.end()), 4.0, 1e-9);
    EXPECT_TRUE(background(*mixer)[1].isEmptyRange());
    // Fades of 4 x 0.5 - 0.1 = 1.9 s.
    EXPECT_NEAR(songLevel(*mixer, 0.95), 0.4f, kTolerance);
    EXPECT_NEAR(songLevel(*mixer, 2.0), 0.8f, kTolerance);
    EXPECT_NEAR(songLevel(*mixer, 3.05), 0.4f, kTolerance);
    EXPECT_NEAR(songLevel(*mixer, 6.0), 0.0f, kTolerance);
}

TEST_F(AudioMixerTest, ASongLongerThanTheShowIsCutAndFadesOutToTheEnd) {
    writeSong("song.wav", 12.0);
    setSongs({"song.wav"});
    project->setFltBackgroundMusicVolumeWhenPhotos(1.0f);
    setSlides({photo(8, 0)});
    const auto mixer = exportMix();
    EXPECT_NEAR(seconds(mixer->composition().duration()), 8.0, 1e-9);
    EXPECT_NEAR(songLevel(*mixer, 5.0), 1.0f, kTolerance);
    EXPECT_NEAR(songLevel(*mixer, 6.5), 0.5f, kTolerance);
    EXPECT_NEAR(songLevel(*mixer, 7.99), 0.0f, 0.01f);
}

TEST_F(AudioMixerTest, WithTheLoopFlagTheSongsRepeatInOrderUntilTheShowIsCovered) {
    writeSong("a.wav", 3.0);
    writeLevels("b.wav", 2.0, 0.25f, 0.0f);
    setSongs({"a.wav", "b.wav"});
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(12, 0)});
    const auto mixer = exportMix();
    const auto& pieces = background(*mixer);
    ASSERT_EQ(pieces.size(), 5u);
    const std::vector<std::pair<QString, double>> expected = {
        {"a.wav", 3.0}, {"b.wav", 2.0}, {"a.wav", 3.0}, {"b.wav", 2.0}, {"a.wav", 2.0}};
    double start = 0.0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_TRUE(pieces[i].sourcePath.endsWith(expected[i].first)) << i;
        EXPECT_NEAR(seconds(pieces[i].target.start), start, 1e-9) << i;
        EXPECT_NEAR(seconds(pieces[i].target.duration), expected[i].second, 1e-9) << i;
        start += expected[i].second;
    }
    EXPECT_NEAR(seconds(mixer->composition().duration()), 12.0, 1e-9) << "no padding when the songs reach";
    // The second copy of b, in the middle of its 2 s: level 0.9 x 0.25 / 0.5.
    EXPECT_NEAR(songLevel(*mixer, 9.0), 0.45f, kTolerance);
}

TEST_F(AudioMixerTest, APreviewMixMakesOnePassOverTheSongs) {
    writeSong("a.wav", 3.0);
    writeSong("b.wav", 2.0);
    setSongs({"a.wav", "b.wav"});
    project->setBBackgroundMusicLoopFlag(true);
    setSlides({photo(12, 0)});
    auto mixer = NSAudioMixerObject::installNewMixer(project);
    mixer->mixProjectAudioForPlaying();
    EXPECT_TRUE(mixer->bMixForPlaying());
    EXPECT_EQ(background(*mixer).size(), 2u);
    EXPECT_NEAR(seconds(mixer->composition().duration()), 5.0, 1e-9);
}

TEST_F(AudioMixerTest, WithoutSongsTheSilenceIsLaidAndPaddedToTheTotal) {
    const QString silence = platform::paths::pathForResource("silence1s", "mp3");
    ASSERT_FALSE(silence.isEmpty());
    setSlides({photo(6, 0)});
    const auto mixer = exportMix();
    const auto& pieces = background(*mixer);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].sourcePath, silence);
    EXPECT_NEAR(seconds(pieces[0].target.duration), 1.0, 0.05);
    EXPECT_TRUE(pieces[1].isEmptyRange());
    EXPECT_NEAR(seconds(mixer->composition().duration()), 6.0, 1e-9);
    EXPECT_TRUE(mixer->audioMixInputParams().events().empty()) << "the silence gets no ramps";
    EXPECT_NEAR(songLevel(*mixer, 0.5), 0.0f, 1e-6);
}

TEST_F(AudioMixerTest, AShowShorterThanTheSilenceCutsIt) {
    setSlides({photo(0.5f, 0)});
    const auto mixer = exportMix();
    ASSERT_EQ(background(*mixer).size(), 1u);
    EXPECT_NEAR(seconds(mixer->composition().duration()), 0.5, 1e-9);
}

TEST_F(AudioMixerTest, APhotosSoundPlaysAtNinetyPercentFromItsSlidesStart) {
    writeSound("voice.wav", 4.0);
    setSlides({photo(5, 1), photo(5, 1, file("voice.wav")), photo(5, 0)});
    const auto mixer = exportMix();
    ASSERT_EQ(mixer->allAudioParams().size(), 2u);
    EXPECT_NE(mixer->allAudioParams()[0].trackID(), mixer->compositionTrackBK()->trackID());
    EXPECT_EQ(mixer->allAudioParams()[1].trackID(), mixer->compositionTrackBK()->trackID()) << "last";
    // From 6 s (the slide's start) for 4 s, with fades of 1.9 s.
    EXPECT_NEAR(soundLevel(*mixer, 5.9), 0.0f, 1e-6);
    EXPECT_NEAR(soundLevel(*mixer, 6.95), 0.45f, kTolerance);
    EXPECT_NEAR(soundLevel(*mixer, 8.0), 0.9f, kTolerance);
    EXPECT_NEAR(soundLevel(*mixer, 9.05), 0.45f, kTolerance);
    EXPECT_NEAR(soundLevel(*mixer, 10.1), 0.0f, 1e-6);
}

TEST_F(AudioMixerTest, AClipsOwnSoundIsMixedOnlyDuringAnExport) {
    writeSound("clip.wav", 3.0);
    setSlides({photo(4, 1), clip(6, 0, 0.5f, file("clip.wav"))});
    auto clipSlide = std::dynamic_pointer_cast<VideoSlideItem>(project->slideItemAtIndex(1));
    clipSlide->setFltOutputVolume(0.6f);
    const auto preview = NSAudioMixerObject::installNewMixer(project);
    preview->mixProjectAudioForPlaying();
    EXPECT_EQ(preview->allAudioParams().size(), 1u);
    EXPECT_NEAR(soundLevel(*preview, 6.0), 0.0f, 1e-6);

    const auto mixer = exportMix();
    ASSERT_EQ(mixer->allAudioParams().size(), 2u);
    // From 4 s (the clip's audio start) for 3 s, at the clip's level with fades of 1.4 s.
    EXPECT_NEAR(soundLevel(*mixer, 3.9), 0.0f, 1e-6);
    EXPECT_NEAR(soundLevel(*mixer, 5.5), 0.6f, kTolerance);
    EXPECT_NEAR(soundLevel(*mixer, 6.3), 0.3f, kTolerance);
}

TEST_F(AudioMixerTest, SoundsThatCannotBeReadAreLeftOut) {
    writeSong("song.wav", 4.0);
    setSongs({"missing.wav", "song.wav"});
    setSlides({photo(4, 0, file("nothing.wav")), photo(4, 0, file("song.wav"))});
    const auto mixer = exportMix();
    ASSERT_FALSE(background(*mixer).empty());
    EXPECT_TRUE(background(*mixer)[0].sourcePath.endsWith("song.wav"));
    EXPECT_EQ(mixer->allAudioParams().size(), 2u) << "the second slide's sound and the background";
    EXPECT_FALSE(mixer->AddSlideItemMusic(QString(), 0.0f));
}

// A received project names a slide sound by its full path: only the project's own files and the recordings
// the sound recorder made in Documents are played, never another file of the user.
TEST_F(AudioMixerTest, ASlideSoundOutsideTheProjectIsMixedOnlyWhenItIsARecording) {
    TempDir user;
    const test_support::UserFolders folders(user.path());
    const QString documents = platform::paths::documentsFolder();
    ASSERT_TRUE(documents.startsWith(user.path())) << documents.toStdString();
    ASSERT_TRUE(QDir().mkpath(documents) && QDir().mkpath(user.path() + "/Private"));
    const QString voice = writeSound("voice.wav", 3.0);
    const QString recording = documents + "/" + ContentsFolder::recordingName(123.0);
    const QString privateFile = user.path() + "/Private/sound_9.000000.caf";
    for (const QString& copy : {recording, documents + "/letter.wav", privateFile})
        ASSERT_TRUE(QFile::copy(voice, copy)) << copy.toStdString();
    const QString linkOut = documents + "/" + ContentsFolder::recordingName(456.0);
    ASSERT_TRUE(QFile::link(privateFile, linkOut));
    const struct {
        QString sound;
        bool mixed;
    } cases[] = {
        {file("voice.wav"), true}, {recording, true}, {documents + "/letter.wav", false},
        {privateFile, false},      {linkOut, false},  {"voice.wav", false},
    };
    for (const auto& c : cases) {
        setSlides({photo(4, 0, c.sound), photo(4, 0)});
        const auto mixer = exportMix();
        EXPECT_EQ(mixer->allAudioParams().size(), c.mixed ? 2u : 1u) << c.sound.toStdString();
    }
}

TEST_F(AudioMixerTest, ASecondBuildStartsAfresh) {
    writeSong("song.wav", 4.0);
    setSongs({"song.wav"});
    setSlides({photo(4, 0, file("song.wav"))});
    auto mixer = exportMix();
    const size_t tracks = mixer->composition().tracks().size();
    const size_t parameters = mixer->allAudioParams().size();
    mixer->mixProjectAudio();
    EXPECT_EQ(mixer->composition().tracks().size(), tracks);
    EXPECT_EQ(mixer->allAudioParams().size(), parameters);
    EXPECT_EQ(mixer->bkMusicFadeInOutTimeRangeArray().size(), 2u);
}

TEST_F(AudioMixerTest, AFadeOverlappingARecordedOneStepsInsteadOfRamping) {
    setSlides({photo(20, 0)});
    NSAudioMixerObject mixer(project);
    mixer.mixProjectAudio(); // the silence only: no fades recorded yet
    mixer.addBackgroudMusicVolumeControl({0.0f, 10.0f, 0.5f}, 0.0f, 0.0f);
    ASSERT_EQ(mixer.bkMusicFadeInOutTimeRangeArray().size(), 2u);
    // Its fade-in (1-4 s) meets 0-3 s and its fade-out (8-11 s) meets 7-10 s.
    mixer.addBackgroudMusicVolumeControl({1.0f, 10.0f, 0.3f}, 0.0f, 0.1f);
    EXPECT_EQ(mixer.bkMusicFadeInOutTimeRangeArray().size(), 2u) << "steps are not recorded";
    const auto& events = mixer.audioMixInputParams().events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_NEAR(seconds(events[1].start), 4.1, 1e-9);
    EXPECT_EQ(events[1].start, events[1].end);
    EXPECT_FLOAT_EQ(events[1].to, 0.3f);
    EXPECT_NEAR(seconds(events[2].start), 6.9, 1e-9);
    EXPECT_FLOAT_EQ(events[2].to, 0.1f);
}
