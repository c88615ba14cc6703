// The MPEG-2 creator's planar variant: planar frames through the video pipe and the project's mix as raw
// PCM through the audio pipe, read back from the stream the real ffmpeg writes; and its sound reader on its
// own.
#include "DVDCommandTestSupport.h"

#include "dvd/DVDCommand.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "render/SlideshowDirector.h"
#include "support/ClipMaker.h"
#include "support/FrameCode.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/ProjectSongs.h"
#include "support/RecordingDialogs.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

using namespace dvd_command_test;
using End = DVDMPEGIICreateObject::End;

namespace {

constexpr float kToneAmplitude = 0.5f;

int distance(QColor a, QColor b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

TEST(MPEGIIPlanarCommandLine, HoldsTheFixedArgumentsInOrder) {
    EXPECT_EQ(
        DVDMPEGIICreateObject::ffmpegYUVArguments(QSizeF(960, 540), "/t/v", "/t/a", "/t/out.vob"),
        QString("-y -vcodec rawvideo -pix_fmt yuv420p -f rawvideo -s 960x540 -r 30 -i /t/v -acodec pcm_s16le "
                "-ar 48000 -ac 2 -f s16le -i /t/a -vcodec mpeg2video -pix_fmt yuv420p -b:v 2500k -bt 300k "
                "-r 30000/1001 -me_method epzs -threads 4 -g 15 -acodec mp2 -ac 2 -ar 48000 -b:a 192k "
                "-async 1 -f vob /t/out.vob")
            .split(' '));
}

class PlanarSoundTest : public DVDProjectTest {
protected:
    // Two songs whose left channel holds one value each, as the project's songs.
    void addLevelSongs() {
        ASSERT_TRUE(ToneMaker::writeLevels(contents() + "/low.wav", 2.0, 0.25f, 0.25f));
        ASSERT_TRUE(ToneMaker::writeLevels(contents() + "/high.wav", 2.0, 0.75f, 0.75f));
        project->setMusicArray({test_support::songNamed("low.wav"), test_support::songNamed("high.wav")});
    }
    static int readAll(SoundSource& sound) {
        std::vector<float> frames(2 * 4096);
        int total = 0;
        while (const int got = sound.read(frames.data(), 4096)) {
            EXPECT_GT(got, 0) << sound.errorString().toStdString();
            if (got < 0)
                break;
            total += got;
        }
        return total;
    }
};

TEST_F(PlanarSoundTest, TheReaderReadsTheWholeMixAt48kHzAndStartsItAgainForTheNextSong) {
    useSlides(2, 1.5f, 0.5f); // 3.5 s
    addLevelSongs();
    project->setBBackgroundMusicLoopFlag(false);
    DVDMPEGIICreateObject creator(nullptr, center);
    ASSERT_TRUE(creator.initAudioVar(0));
    EXPECT_NE(project->audioMixer(), nullptr) << "a new mixer is the project's";
    // The songs, 2 s each, the second cut at the show's end.
    EXPECT_NEAR(readAll(*creator.assetReaderAudio()), 3.5 * 48000, 2);
    for (const int expected : {1, 0, 1}) {
        creator.switchMusicToNextSong_2();
        ASSERT_NE(creator.assetReaderAudio(), nullptr);
        EXPECT_NEAR(readAll(*creator.assetReaderAudio()), 3.5 * 48000, 2) << "the whole mix again";
        EXPECT_EQ(creator.nSongIndex(), expected);
    }
    EXPECT_EQ(creator.nSongIndexContinue(), 3);
    creator.deInitVar();
    EXPECT_EQ(creator.nSongIndexContinue(), 0);
    EXPECT_EQ(creator.assetReaderAudio(), nullptr);
}

TEST_F(PlanarSoundTest, WithoutSongsTheMixStillCarriesTheSlidesSoundsAndTheIndexStays) {
    useSlides(2, 1.5f, 0.5f);
    ASSERT_TRUE(ToneMaker::writeWav(contents() + "/voice.wav", 440.0, 1.0, 0.5f));
    project->slideshowArray()[0]->setStrSoundFileName(contents() + "/voice.wav");
    DVDMPEGIICreateObject creator(nullptr, center);
    ASSERT_TRUE(creator.initAudioVar(0));
    std::vector<float> frames(2 * 48000);
    ASSERT_EQ(creator.assetReaderAudio()->read(frames.data(), 48000), 48000);
    EXPECT_GT(ToneMaker::rms(frames, 2, -1, 12000, 24000), 0.2) << "the slide's voice";
    creator.switchMusicToNextSong_2();
    EXPECT_EQ(creator.nSongIndex(), 0);
    EXPECT_EQ(creator.nSongIndexContinue(), 1);
}

TEST_F(PlanarSoundTest, TheOlderReaderOpensTheSongOfTheIndexAt48kHz) {
    addLevelSongs();
    DVDMPEGIICreateObject creator(nullptr, center);
    ASSERT_TRUE(creator.initAudioVar_old(1));
    std::vector<float> frames(2 * 256);
    ASSERT_EQ(creator.assetReaderAudio()->read(frames.data(), 256), 256);
    EXPECT_NEAR(frames[200], 0.75f, 1e-3);
    EXPECT_NEAR(readAll(*creator.assetReaderAudio()) + 256, 2 * 48000, 2) << "two seconds at the new rate";
    EXPECT_FALSE(creator.initAudioVar_old(2));
    EXPECT_EQ(creator.assetReaderAudio(), nullptr);
}

class PlanarDVDEndToEndTest : public DVDProjectTest {
protected:
    void SetUp() override {
        DVDProjectTest::SetUp();
        SlideshowProject::setSizeVideoOutput(QSizeF(96, 54));
        useSlides(2, 3.5f, 1.0f); // 8 s
        ASSERT_TRUE(ToneMaker::writeWav(contents() + "/tone.wav", 440.0, 10.0, kToneAmplitude));
        project->setMusicArray({test_support::songNamed("tone.wav", "tone")});
        project->setBBackgroundMusicLoopFlag(false);
        project->setFltBackgroundMusicVolumeWhenPhotos(1.0f);
        output = folder.file("show.vob");
    }

    std::shared_ptr<DVDMPEGIICreateObject> start(ScriptedPumpHost& host) {
        auto creator = std::make_shared<DVDMPEGIICreateObject>(&host, center);
        creator->setCancelPolling(std::chrono::milliseconds(20), 5);
        EXPECT_TRUE(creator->startRunYUV({{"strOutputFullPath", output}}));
        return creator;
    }
    void expectTemporaryFilesGone() {
        for (const QString& path :
             {DVDMPEGIICreateObject::strVideoFIFOName(), DVDMPEGIICreateObject::strAudioFIFOName(),
              DVDMPEGIICreateObject::strTempM4AAudioFullPath()})
            EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    }

    QString output;
};

TEST_F(PlanarDVDEndToEndTest, WritesTheFramesWithTheMixFadedAndEndingWithThePictures) {
    const int frames = int(project->totalFrameCount());
    ASSERT_EQ(frames, 240);
    ScriptedPumpHost host({.frames = frames});
    NotificationLog notes{center, {DVDMPEGIICreateObject::movieFinishedNotificationName()}};
    const auto creator = start(host);
    ASSERT_EQ(creator->waitUntilFinished(), End::Completed) << creator->error().message().toStdString();
    EXPECT_EQ(notes.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
    EXPECT_EQ(host.slideshowCalls, 1);
    EXPECT_EQ(host.framesWritten, frames);
    EXPECT_EQ(creator->nAudioWriteFD(), -1);
    expectTemporaryFilesGone();

    const MediaProbe probe = MediaProbe::probe(output);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    const MediaProbe::Stream* video = probe.firstOfType("video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codec, "mpeg2video");
    EXPECT_EQ(video->width, 96);
    const MediaProbe::Stream* audio = probe.firstOfType("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codec, "mp2");
    EXPECT_EQ(audio->sampleRate, 48000);

    const DecodedMovie movie = DecodedMovie::decode(output);
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, 8.0, 0.1) << "the sound ends with the pictures";
    // The song fades in and out over 3 s in the mix, and the feeder fades the mix the same way again.
    const double full = kToneAmplitude / std::sqrt(2.0);
    for (const auto& [at, share] :
         {std::pair{1.0, 1 / 9.0}, {2.0, 4 / 9.0}, {4.0, 1.0}, {6.0, 4 / 9.0}, {7.0, 1 / 9.0}})
        EXPECT_NEAR(movie.audioLevel(at - 0.05, 0.1) / full, share, 0.05) << "at " << at << " s";
}

// A music slideshow whose looped songs end 0.7 s before its pictures: the feeder starts the mix again, and
// what it reads then is silent, the songs being used up.
TEST_F(PlanarDVDEndToEndTest, AMusicSlideshowFallsSilentOnceItsSongsAreUsedUp) {
    ASSERT_TRUE(ToneMaker::writeWav(contents() + "/first.wav", 440.0, 7.3, kToneAmplitude));
    ASSERT_TRUE(ToneMaker::writeWav(contents() + "/second.wav", 440.0, 2.7, kToneAmplitude));
    project->setMusicArray({test_support::songNamed("first.wav"), test_support::songNamed("second.wav")});
    project->setBIsMusicSideshow(true);
    project->setBBackgroundMusicLoopFlag(true);
    // 10 s of songs for 8 s of pictures: the feeder's fade-out reaches silence only at 10 s.
    ASSERT_TRUE(project->doesSyncMusicAndSlideshowDuration());
    ScriptedPumpHost host({.frames = int(project->totalFrameCount())});
    const auto creator = start(host);
    ASSERT_EQ(creator->waitUntilFinished(), End::Completed) << creator->error().message().toStdString();

    const DecodedMovie movie = DecodedMovie::decode(output);
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, 8.0, 0.1) << "the sound ends with the pictures";
    const double full = kToneAmplitude / std::sqrt(2.0);
    EXPECT_GT(movie.audioLevel(3.95, 0.1) / full, 0.9) << "the first song";
    // Started again, the mix would bring back the first song fading in, under a fade-out not below two
    // thirds.
    for (const double at : {7.6, 7.75, 7.9})
        EXPECT_LT(movie.audioLevel(at - 0.05, 0.1) / full, 0.02) << "at " << at << " s";
}

TEST_F(PlanarDVDEndToEndTest, ACancelStopsThePumpTheSoundAndFFmpegWithoutAFinish) {
    ScriptedPumpHost host({.frames = 1'000'000});
    NotificationLog notes{center, {DVDMPEGIICreateObject::movieFinishedNotificationName()}};
    const auto creator = start(host);
    ASSERT_TRUE(spinUntil([&] { return host.framesWritten > 30; }));
    project->setBExportProgressCancelButtonClicked(true);
    EXPECT_EQ(creator->waitUntilFinished(), End::Cancelled);
    project->setBExportProgressCancelButtonClicked(false);
    EXPECT_EQ(notes.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(creator->nAudioWriteFD(), -1);
    expectTemporaryFilesGone();
}

class PlanarDVDPumpEndToEndTest : public DVDRenderTest {};

TEST_F(PlanarDVDPumpEndToEndTest, ThePlayerDrawsAPhotoAndAClipInItsColoursIntoTheStreamAsPlanarFrames) {
    SlideshowProject::setSizeVideoOutput(QSizeF(320, 180));
    useSlides(1, 1.0f, 0.5f);
    // Then a clip of 1.5 s: slide 0 alone until 1 s, the clip alone from 1.5 s to 2.5 s.
    ClipMaker::Options options;
    options.frames = 45;
    options.picture = FrameCode::redOverBlueFrame;
    const QString path = project->strProjectVideoFileDirectory() + "/clip.mp4";
    ASSERT_TRUE(ClipMaker::make(path, options));
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->setFSecTransitionDuration(0.5f);
    clip->PrepareVideoItem(path);
    project->setSlideshowArray({project->slideshowArray()[0], clip});
    project->calcSlideItemsPhotoTransitionDuration();
    RecordingDialogs dialogs;
    DVDCommand command(director, dialogs, center);
    DVDMPEGIICreateObject creator(&command, center);
    creator.setCancelPolling(std::chrono::milliseconds(20), 5);
    const QString output = folder.file("planar.vob");
    ASSERT_TRUE(creator.startRunYUV({{"strOutputFullPath", output}}));
    ASSERT_EQ(creator.waitUntilFinished(), End::Completed) << creator.error().message().toStdString();

    // At 30000/1001 frames a second: frame 15 lies at 0.5 s, frame 60 at 2.0 s.
    const DecodedMovie movie = DecodedMovie::decode(output, {15, 60});
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_NEAR(double(movie.frameTimes.size()) * 1001.0 / 30000.0, 2.5, 0.1);
    const QImage& photo = movie.frames.at(15);
    ASSERT_EQ(photo.size(), QSize(320, 180));
    EXPECT_LE(distance(photo.pixelColor(160, 90), slideColour(0)), 24)
        << "the photo is " << photo.pixelColor(160, 90).name().toStdString();
    QString seen;
    EXPECT_TRUE(FrameCode::showsRedOverBlue(movie.frames.at(60), &seen))
        << "the clip shows " << seen.toStdString();
    EXPECT_EQ(director->rgbConverterObject(), nullptr) << "the player is back in preview mode";
}
