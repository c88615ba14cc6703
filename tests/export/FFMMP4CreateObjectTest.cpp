// The movie made end to end: the command line ffmpeg is given, the stages, the pipes and the movie it writes.
#include "FFMMP4TestSupport.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/StandardPaths.h"
#include "support/MediaProbe.h"

#include <QFile>
#include <QFileInfo>

using namespace ffmmp4_test;

// ---- names, stages and the command line

TEST(FFMMP4CommandLine, IsTheFixedListWithTheNativeAACEncoder) {
    const QStringList arguments =
        FFMMP4CreateObject::ffmpegArguments(QSizeF(960, 540), "/t/video_fifo", "/t/audio.m4a", "/t/out.mp4");
    const QStringList expected{"-y",
                               "-vcodec",
                               "rawvideo",
                               "-pix_fmt",
                               "bgra",
                               "-f",
                               "rawvideo",
                               "-s",
                               "960x540",
                               "-r",
                               "30",
                               "-i",
                               "/t/video_fifo",
                               "-i",
                               "/t/audio.m4a",
                               "-vcodec",
                               "libx264",
                               "-pix_fmt",
                               "yuv420p",
                               "-acodec",
                               "aac",
                               "-ac",
                               "2",
                               "-ab",
                               "128k",
                               "-f",
                               "mp4",
                               "/t/out.mp4"};
    EXPECT_EQ(arguments, expected);
}

TEST(FFMMP4CommandLine, SizesArePrintedWithoutDecimalsAndPathsStayWhole) {
    const QStringList arguments = FFMMP4CreateObject::ffmpegArguments(QSizeF(1279.6, 720.2), "/a b/fifo",
                                                                      "/a b/sound.m4a", "/a b/my movie.mp4");
    EXPECT_EQ(arguments.at(arguments.indexOf("-s") + 1), "1280x720");
    EXPECT_TRUE(arguments.contains("/a b/fifo"));
    EXPECT_EQ(arguments.last(), "/a b/my movie.mp4");
}

TEST(FFMMP4CommandLine, StagesShareTheWholeBetweenSoundAndFrames) {
    const QVariantMap stages = FFMMP4CreateObject::dictEncodingProgressStep();
    const QVariantMap music = stages.value("tempbackgroundmusic").toMap();
    const QVariantMap frames = stages.value("ffmmp4").toMap();
    EXPECT_DOUBLE_EQ(music.value("start").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(music.value("step").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(frames.value("start").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(frames.value("step").toDouble(), 0.9);
    EXPECT_EQ(frames.value("desc").toString(), "Encoding slideshow to video now, please waiting...");
    EXPECT_EQ(music.value("desc").toString(), "Creating background music ...");
}

TEST_F(FFMMP4Test, TemporaryFilesLiveInThePrivateFolderAndGoTogether) {
    const QString folder = platform::paths::temporaryFolder();
    EXPECT_EQ(QFileInfo(FFMMCreateObjectBase::strVideoFIFOName()).absolutePath(), folder);
    EXPECT_TRUE(
        FFMMCreateObjectBase::strVideoFIFOName().endsWith("10468DAE-4D11-4C1B-893C-A7C0DF8AA810_video_fifo"));
    EXPECT_TRUE(
        FFMMCreateObjectBase::strAudioFIFOName().endsWith("10468DAE-4D11-4C1B-893C-A7C0DF8AA810_audio_fifo"));
    platform::NamedPipe video, audio;
    ASSERT_TRUE(video.create(FFMMCreateObjectBase::strVideoFIFOName()));
    ASSERT_TRUE(audio.create(FFMMCreateObjectBase::strAudioFIFOName()));
    QFile m4a(FFMMCreateObjectBase::strTempM4AAudioFullPath());
    ASSERT_TRUE(m4a.open(QIODevice::WriteOnly));
    m4a.close();
    FFMMCreateObjectBase::deleteTempFiles();
    expectNoTemporaryFiles();
}

// ---- runs with the real ffmpeg

TEST_F(FFMMP4Test, WritesAPlayableMovieAndSaysSoOnce) {
    pump.frames = 30;
    std::vector<FFMMP4CreateObject::Outcome::End> ends;
    creator->setEndHandler([&](const FFMMP4CreateObject::Outcome& outcome) { ends.push_back(outcome.end); });
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(ends, std::vector{FFMMP4CreateObject::Outcome::End::Completed});
    EXPECT_EQ(recorder.count(kFinished), 1);
    EXPECT_EQ(recorder.count(kFailed), 0) << recorder.failure().toStdString();
    EXPECT_EQ(pump.written.load(), 30);
    const MediaProbe probe = MediaProbe::probe(output());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    const MediaProbe::Stream* video = probe.firstOfType("video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(video->pixelFormat, "yuv420p"); // what every player decodes
    EXPECT_EQ(video->width, 128);
    EXPECT_EQ(video->height, 72);
    EXPECT_EQ(video->packets, 30);
    EXPECT_NEAR(video->durationSeconds, 1.0, 0.05);
    const MediaProbe::Stream* audio = probe.firstOfType("audio");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codec, "aac");
    EXPECT_EQ(audio->channels, 2);
    expectNoTemporaryFiles();
    EXPECT_FALSE(creator->bCancelRequest());
    EXPECT_TRUE(creator->bFFMMEncodeFinished());
}

TEST_F(FFMMP4Test, ThePumpGetsBothPipesInThePrivateFolder) {
    pump.frames = 3;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(pump.calls.load(), 1);
    EXPECT_EQ(pump.reached, (QStringList{FFMMCreateObjectBase::strVideoFIFOName(),
                                         FFMMCreateObjectBase::strAudioFIFOName()}));
    EXPECT_EQ(pump.pipes.creator, creator.get());
    ASSERT_EQ(pump.modes.size(), 2u);
    for (const mode_t mode : pump.modes) {
        EXPECT_TRUE(S_ISFIFO(mode));
        EXPECT_EQ(mode & 0777, 0600u) << "others may read or feed the frames";
    }
    EXPECT_EQ(recorder.count(kFinished), 1);
}

TEST_F(FFMMP4Test, TheMixingStageReportsItsProgressAsTheCreators) {
    std::vector<platform::Notification> posts;
    auto& center = platform::NotificationCenter::defaultCenter();
    const platform::ObserverHandle handle(
        center, center.addObserver(MixedAudioExport::progressNotificationName(),
                                   [&](const platform::Notification& note) { posts.push_back(note); }));
    const auto tone = toneMix();
    creator->setAudioMixStep([&](const SlideshowProjectRef& owner,
                                 const MixedAudioExport::CancelCheck& cancel,
                                 const MixedAudioExport::ProgressHandler& progress) {
        progress(0.5f);
        return tone(owner, cancel, progress);
    });
    pump.frames = 2;
    start();
    ASSERT_TRUE(ended());
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_FLOAT_EQ(posts[0].userInfo.value("progress").toFloat(), 0.5f);
    EXPECT_EQ(posts[0].userInfo.value("baseinfo").toMap(),
              FFMMP4CreateObject::dictEncodingProgressStep().value("tempbackgroundmusic").toMap());
    EXPECT_EQ(posts[0].object.value<void*>(), static_cast<void*>(creator.get()));
}
