// The ffmpeg MP4 export of the main window controller: scripted renderers for the command's rules, and the
// real player drawing a short project for the movie itself, read back with libavformat.
#include "EncoderTestSupport.h"
#include "support/FilesBeingMade.h"
#include "support/MovieDecoder.h"
#include "support/RecordingDialogs.h"
#include "support/SavedRepeat.h"

#include "export/EncodingProgressSteps.h"
#include "export/MP4ExportCommand.h"
#include "export/MovieExportCommand.h"
#include "model/MainWindowServices.h"
#include "model/MusicItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "render/DirectorFrameRenderer.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "support/MediaProbe.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

using namespace encoder_test;

namespace {

const QString kFinished = EncoderController::movieFinishedNotificationName();
const QString kFailed = EncoderController::movieFailedNotificationName();
const QString kFileEnd = MovieExportCommand::createVideoFileEndNotificationName();

int distance(QColor a, QColor b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

class MP4ExportCommandTest : public EncoderTest {
protected:
    void SetUp() override {
        EncoderTest::SetUp();
        MainWindowServices::setCurrent(&services);
        project->setSlideshowArray(stillPhotos(contents(), 3));
        project->setShareOption("VideoSize", 0);
        project->setShareOption("ServiceName", "PhotoLibrary");
        project->setBPlayLoop(true);
        QDir().mkpath(folder.path() + "/tools");
    }
    void TearDown() override {
        command.reset();
        MainWindowServices::setCurrent(nullptr);
        tools.reset();
        EncoderTest::TearDown();
    }

    void makeCommand(MP4ExportCommand::RendererFactory factory) {
        command = std::make_unique<MP4ExportCommand>(dialogs, std::move(factory));
        command->setCreatorSetup([this](FFMMP4CreateObject& creator) {
            creator.setAudioMixStep(toneMix(4.0));
            creator.setCancelPolling(std::chrono::milliseconds(20), 10);
            created = &creator;
        });
    }
    // Renderers of `count` solid frames at the class-level output size.
    static MP4ExportCommand::RendererFactory frames(quint64 count, std::chrono::milliseconds pause = {}) {
        return [count, pause]() -> std::unique_ptr<FrameRenderer> {
            ScriptedRenderer::Script script;
            script.frames = count;
            script.size = SlideshowProject::sizeVideoOutput().toSize();
            script.pausePerFrame = pause;
            return std::make_unique<ScriptedRenderer>(script);
        };
    }
    void fakeFFmpeg(const QString& body) {
        QFile script(folder.path() + "/tools/ffmpeg");
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        tools.emplace("VISTRELLE_TOOLS_DIR", folder.path() + "/tools");
    }
    QString moviePath(QSizeF size = QSizeF(640, 360)) const {
        const QFileInfo file(project->strEncodingVideoFilePath(size));
        return file.path() + "/" + file.completeBaseName() + ".mp4";
    }
    bool runEnds() {
        return waitFor([this] { return !command->isEncoding(); });
    }
    void expectRepeatKept() { EXPECT_TRUE(project->bPlayLoop()) << "the export changed the user's repeat"; }

    RecordingDialogs dialogs;
    RecordingServices services;
    std::optional<test_support::EnvOverride> tools;
    std::unique_ptr<MP4ExportCommand> command;
    FFMMP4CreateObject* created = nullptr;
};

TEST_F(MP4ExportCommandTest, FewerThanThreeSlidesAreRefusedWithAnAlert) {
    project->setSlideshowArray(
        {platform::makeMainThreadShared<SlideItem>(), platform::makeMainThreadShared<SlideItem>()});
    makeCommand(frames(3));
    EXPECT_FALSE(command->createMP4File_FFMM());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_EQ(dialogs.alerts[0].message, "Please add at least 3 photos to get started!");
    EXPECT_FALSE(command->isEncoding());
    EXPECT_TRUE(project->bPlayLoop());
}

TEST_F(MP4ExportCommandTest, SettingsFollowVideoSizeWhileItRunsAndComeBackAfter) {
    project->setShareOption("VideoSize", 1);
    SlideshowProject::setStrVideoOutputFormat("MOV");
    NotificationLog notes{{kFinished, kFailed}};
    makeCommand(frames(6, std::chrono::milliseconds(5)));
    ASSERT_TRUE(command->createMP4File_FFMM());
    EXPECT_EQ(SlideshowProject::sizeVideoOutput(), QSizeF(960, 540));
    EXPECT_EQ(SlideshowProject::ulEncodeVideoBitrate(), 5'600'000u);
    EXPECT_TRUE(project->bPlayLoop()) << "the user's repeat, which the export's play does without";
    EXPECT_EQ(test_support::repeatSavedNow(*project), std::optional(true)) << "what a save meanwhile writes";
    EXPECT_FALSE(command->createMP4File_FFMM()) << "a second run while one is under way";
    ASSERT_TRUE(runEnds());
    EXPECT_EQ(notes.count(kFinished), 1);
    EXPECT_TRUE(dialogs.alerts.empty());
    expectRepeatKept();
    // Always an MP4 file, whatever the movie writer's own container setting.
    const QString path = moviePath(QSizeF(960, 540));
    EXPECT_TRUE(path.endsWith("_video_960x540.mp4"));
    const MediaProbe probe = MediaProbe::probe(path);
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    EXPECT_EQ(probe.firstOfType("video")->packets, 6) << "every frame the pump wrote is in the movie";
}

TEST_F(MP4ExportCommandTest, ProgressRunsThroughTheFramesStageToTheEnd) {
    makeCommand(frames(10));
    ASSERT_TRUE(command->createMP4File_FFMM());
    ASSERT_TRUE(runEnds());
    QCoreApplication::processEvents();
    ASSERT_FALSE(dialogs.progress.empty());
    for (std::size_t i = 0; i < dialogs.progress.size(); ++i) {
        EXPECT_GE(dialogs.progress[i], 0.1) << i;
        if (i > 0) {
            EXPECT_GE(dialogs.progress[i], dialogs.progress[i - 1]) << "progress went back at " << i;
        }
    }
    EXPECT_DOUBLE_EQ(dialogs.progress.back(), 1.0);
}

TEST_F(MP4ExportCommandTest, AFailingFFmpegIsShownOnceAndNothingIsLeft) {
    fakeFFmpeg("echo 'Conversion failed!' >&2\nexit 1");
    NotificationLog notes{{kFinished, kFailed, kFileEnd}};
    MovieExportCommand movieCommand(dialogs, {}); // the controller's observers of the encoder's ends
    makeCommand(frames(20));
    ASSERT_TRUE(command->createMP4File_FFMM());
    ASSERT_TRUE(runEnds());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
    EXPECT_TRUE(dialogs.alerts[0].message.contains("Conversion failed!"))
        << dialogs.alerts[0].message.toStdString();
    EXPECT_EQ(dialogs.modalEnds, 1);
    EXPECT_EQ(services.stops, 1);
    EXPECT_EQ(notes.count(kFinished), 0);
    EXPECT_EQ(notes.count(kFileEnd), 0) << "a failed movie was recorded as made";
    EXPECT_EQ(notes.count(kFailed), 1);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
    expectRepeatKept();
}

TEST_F(MP4ExportCommandTest, NoRendererIsAFailureNotAHang) {
    makeCommand([] { return std::unique_ptr<FrameRenderer>(); });
    ASSERT_TRUE(command->createMP4File_FFMM());
    ASSERT_TRUE(runEnds());
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].message, "The slideshow could not be drawn.");
    expectRepeatKept();
}

TEST_F(MP4ExportCommandTest, ACancelStopsQuietlyAndPutsTheSettingsBack) {
    NotificationLog notes{{kFinished, kFailed}};
    makeCommand(frames(100000, std::chrono::milliseconds(1)));
    ASSERT_TRUE(command->createMP4File_FFMM());
    auto creator = command->mp4CreateObject();
    ASSERT_TRUE(waitFor([&] { return !test_support::filesBeingMadeFor(moviePath()).isEmpty(); }))
        << "ffmpeg is writing";
    creator.reset();
    command->cancelEncoding();
    ASSERT_TRUE(runEnds());
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(notes.all().empty());
    EXPECT_EQ(services.stops, 1);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
    EXPECT_TRUE(test_support::filesBeingMadeFor(moviePath()).isEmpty());
    expectRepeatKept();
}

TEST_F(MP4ExportCommandTest, GoingAwayMidRunEndsEveryThread) {
    makeCommand(frames(100000, std::chrono::milliseconds(1)));
    const int before = threadCount();
    ASSERT_TRUE(command->createMP4File_FFMM());
    ASSERT_TRUE(waitFor([&] { return !test_support::filesBeingMadeFor(moviePath()).isEmpty(); }));
    EXPECT_GT(threadCount(), before);
    command.reset();
    EXPECT_EQ(threadCount(), before);
    EXPECT_FALSE(QFileInfo::exists(FFMMCreateObjectBase::strVideoFIFOName()));
}

// ---- the real player

class MP4ExportEndToEndTest : public MP4ExportCommandTest {
protected:
    void SetUp() override {
        MP4ExportCommandTest::SetUp();
        const QString why = player.start(7);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        director = player.director;
        addColourSlidesAndTone(*project, contents(), {kColours[0], kColours[1], kColours[2]});
    }
    void TearDown() override {
        command.reset();
        director.reset();
        player.stop();
        MP4ExportCommandTest::TearDown();
    }

    const QColor kColours[3] = {QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)};
    RealPlayer player;
    std::shared_ptr<SlideshowDirector> director;
};

// Three pictures and a song, mixed by the project's own mixer, drawn by the player and encoded by ffmpeg;
// the movie's end runs on through the controller to the record of a made movie.
TEST_F(MP4ExportEndToEndTest, AShortProjectBecomesAPlayableMovie) {
    const quint64 total = project->totalFrameCount();
    ASSERT_EQ(total, 120u);
    NotificationLog notes{{kFinished, kFailed, kFileEnd}};
    MovieExportCommand movieCommand(dialogs, {});
    movieCommand.setOtherExportRunning([this] { return command && command->isEncoding(); });
    command = std::make_unique<MP4ExportCommand>(dialogs, DirectorFrameRenderer::factory(director));
    ASSERT_TRUE(command->createMP4File_FFMM());
    ASSERT_TRUE(runEnds());
    ASSERT_TRUE(waitFor([&] { return notes.count(kFileEnd) == 1; }));
    EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts.front().message.toStdString();
    EXPECT_EQ(notes.count(kFinished), 1);
    EXPECT_EQ(notes.count(kFailed), 0);
    EXPECT_EQ(director->rgbConverterObject(), nullptr) << "the player is back in preview mode";
    expectRepeatKept();

    const MediaProbe probe = MediaProbe::probe(moviePath());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    const MediaProbe::Stream* video = probe.firstOfType("video");
    const MediaProbe::Stream* audio = probe.firstOfType("audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->codec, "h264");
    EXPECT_EQ(video->width, 640);
    EXPECT_EQ(video->height, 360);
    EXPECT_EQ(video->packets, int(total)) << "ffmpeg takes every frame, the first one too";
    EXPECT_EQ(audio->codec, "aac");
    EXPECT_EQ(audio->channels, 2);

    const DecodedMovie movie = DecodedMovie::decode(moviePath(), {15, 60, 105});
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.frameTimes.size(), total);
    for (const auto& [index, slide] : {std::pair{15, 0}, {60, 1}, {105, 2}}) {
        const QImage& frame = movie.frames.at(index);
        for (const QPoint at : {QPoint(320, 180), QPoint(160, 90), QPoint(480, 270)})
            EXPECT_LE(distance(frame.pixelColor(at), kColours[slide]), 16)
                << "frame " << index << " at " << at.x() << "," << at.y() << " is "
                << frame.pixelColor(at).name().toStdString();
    }
    EXPECT_GT(movie.audioLevel(0.95, 0.1), 0.2) << "the song is in the movie";
    EXPECT_FALSE(QFileInfo::exists(FFMMCreateObjectBase::strTempM4AAudioFullPath()));
    EXPECT_FALSE(QFileInfo::exists(FFMMCreateObjectBase::strVideoFIFOName()));
}
