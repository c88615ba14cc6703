// The MPEG-2 creator with a scripted pump: its command line, its files, the order of its passes and its one
// finished notification with the real ffmpeg, and every way a pass can fail or be stopped, with stand-in
// ffmpegs where the real one cannot be made to fail.
#include "DVDCommandTestSupport.h"
#include "DVDTestSupport.h"

#include "dvd/DVDMPEGIICreateObject.h"
#include "platform/foundation/StandardPaths.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <signal.h>
#include <sys/stat.h>

#include <cmath>

using namespace dvd_command_test;
using End = DVDMPEGIICreateObject::End;
using Pass = DVDMPEGIICreateObject::Pass;

namespace {

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

class MPEGIICreatorTest : public DVDProjectTest {
protected:
    void SetUp() override {
        DVDProjectTest::SetUp();
        SlideshowProject::setSizeVideoOutput(QSizeF(96, 54));
        menuPath = folder.file("show_dvdmenu.mpg");
        showPath = folder.file("show.mpg");
    }

    std::shared_ptr<DVDMPEGIICreateObject> makeCreator(ScriptedPumpHost& host) {
        auto creator = std::make_shared<DVDMPEGIICreateObject>(&host, center);
        creator->setAudioMixStep(toneMix(1.0, &passes));
        creator->setCancelPolling(std::chrono::milliseconds(20), 5);
        creator->setCompletionHandler([this](End end, const DVDStepError& error) {
            const std::lock_guard lock(mutex);
            ends.push_back(end);
            errors.push_back(error);
        });
        return creator;
    }

    bool runBoth(DVDMPEGIICreateObject& creator) {
        if (!creator.startRunDVDMenuAndSlideshow(
                {{"strOutputFullPath", showPath}, {"strDVDMenuOutputFullPath", menuPath}}))
            return false;
        return finishes(creator);
    }

    // The driver ends; a creator that hangs fails the test instead of hanging it.
    static bool finishes(DVDMPEGIICreateObject& creator) {
        return spinUntil([&] { return !creator.isRunning(); });
    }

    void expectTemporaryFilesGone() {
        EXPECT_FALSE(exists(DVDMPEGIICreateObject::strTempM4AAudioFullPath()));
        EXPECT_FALSE(exists(DVDMPEGIICreateObject::strVideoFIFOName()));
        EXPECT_FALSE(exists(DVDMPEGIICreateObject::strAudioFIFOName()));
    }

    void expectDVDStream(const QString& path, bool pal, bool wide) {
        const MediaProbe probe = MediaProbe::probe(path);
        ASSERT_TRUE(probe.ok) << qPrintable(probe.error);
        EXPECT_EQ(probe.formatName, "mpeg");
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_NE(video, nullptr);
        EXPECT_EQ(video->codec, "mpeg2video");
        EXPECT_EQ(video->width, 720);
        EXPECT_EQ(video->height, pal ? 576 : 480);
        EXPECT_NEAR(video->frameRate, pal ? 25.0 : 30000.0 / 1001.0, 0.01);
        EXPECT_NEAR(video->displayAspect, wide ? 16.0 / 9.0 : 4.0 / 3.0, 0.02);
        const MediaProbe::Stream* audio = probe.firstOfType("audio");
        ASSERT_NE(audio, nullptr);
        EXPECT_EQ(audio->codec, "mp2");
        EXPECT_EQ(audio->channels, 2);
        EXPECT_EQ(audio->sampleRate, 48000);
    }

    QString menuPath, showPath;
    std::mutex mutex;
    std::vector<End> ends;
    std::vector<DVDStepError> errors;
    std::vector<Pass> passes;
};

TEST(MPEGIICreatorCommandLine, HoldsTheFixedArgumentsInOrder) {
    const QStringList arguments = DVDMPEGIICreateObject::ffmpegArguments(
        QSizeF(960, 540), "/t/v_fifo", "/t/a.m4a", true, true, "/t/out.mpg");
    EXPECT_EQ(arguments, QStringList({"-y",        "-vcodec",   "rawvideo", "-pix_fmt", "bgra",    "-f",
                                      "rawvideo",  "-s",        "960x540",  "-r",       "30",      "-i",
                                      "/t/v_fifo", "-i",        "/t/a.m4a", "-target",  "pal-dvd", "-acodec",
                                      "mp2",       "-ac",       "2",        "-ab",      "224k",    "-aspect",
                                      "16:9",      "/t/out.mpg"}));
    EXPECT_EQ(DVDMPEGIICreateObject::presetString(false, false),
              "-target ntsc-dvd -acodec mp2 -ac 2 -ab 224k -aspect 4:3");
    EXPECT_EQ(DVDMPEGIICreateObject::presetString(true, false),
              "-target pal-dvd -acodec mp2 -ac 2 -ab 224k -aspect 4:3");
    EXPECT_EQ(DVDMPEGIICreateObject::presetString(false, true),
              "-target ntsc-dvd -acodec mp2 -ac 2 -ab 224k -aspect 16:9");
    // The size is printed without decimals.
    EXPECT_EQ(DVDMPEGIICreateObject::ffmpegArguments(QSizeF(720.4, 479.6), "v", "a", false, false, "o")[8],
              "720x480");
}

// The box of the light pixels of a picture.
QRect lightArea(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(MPEGIICreatorCommandLine, AFourThreeDiscShowsASquarePhotoSquare) {
    TempDir dir;
    QImage frame(960, 540, QImage::Format_ARGB32);
    frame.fill(Qt::black);
    QPainter(&frame).fillRect(QRect(330, 120, 300, 300), Qt::white);
    QFile frames(dir.file("frames.bgra"));
    ASSERT_TRUE(frames.open(QIODevice::WriteOnly));
    for (int i = 0; i < 6; ++i)
        frames.write(reinterpret_cast<const char*>(frame.constBits()), frame.sizeInBytes());
    frames.close();
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("sound.wav"), 440.0, 0.3, 0.1f));
    for (const bool pal : {false, true}) {
        SCOPED_TRACE(pal ? "PAL" : "NTSC");
        const QString stream = dir.file(pal ? "pal.mpg" : "ntsc.mpg");
        ASSERT_TRUE(dvd_test::runProgram(
            "ffmpeg", QStringList{"-loglevel", "error"} +
                          DVDMPEGIICreateObject::ffmpegArguments(QSizeF(960, 540), frames.fileName(),
                                                                 dir.file("sound.wav"), pal, false, stream)));
        const MediaProbe probe = MediaProbe::probe(stream);
        const MediaProbe::Stream* video = probe.firstOfType("video");
        ASSERT_TRUE(video) << probe.error.toStdString();
        ASSERT_NEAR(video->displayAspect, 4.0 / 3.0, 0.01);
        const QString picture = dir.file(pal ? "pal.png" : "ntsc.png");
        ASSERT_TRUE(dvd_test::runProgram(
            "ffmpeg", {"-loglevel", "error", "-i", stream, "-frames:v", "1", "-update", "1", picture}));
        const QImage decoded(picture);
        const QRect square = lightArea(decoded);
        const double pixelAspect = video->displayAspect * decoded.height() / decoded.width();
        EXPECT_NEAR(square.width() * pixelAspect / square.height(), 1.0, 0.02)
            << square.width() << " x " << square.height();
    }
}

TEST(MPEGIICreatorCommandLine, ProgressStagesShareTheWholeBar) {
    const QVariantMap stages = DVDMPEGIICreateObject::dictEncodingProgressStep();
    ASSERT_EQ(stages.size(), 2);
    const QVariantMap music = stages.value("tempbackgroundmusic").toMap();
    const QVariantMap video = stages.value("ffmmpegiidvd").toMap();
    EXPECT_DOUBLE_EQ(music.value("start").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(music.value("step").toDouble(), 0.1);
    EXPECT_EQ(music.value("desc").toString(), "Creating background music ...");
    EXPECT_DOUBLE_EQ(video.value("start").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(video.value("step").toDouble(), 0.9);
    EXPECT_FALSE(video.value("desc").toString().isEmpty());
}

TEST_F(MPEGIICreatorTest, TemporaryFilesLiveInThePrivateFolderAndOnlyOursAreRemoved) {
    const QString video = DVDMPEGIICreateObject::strVideoFIFOName();
    const QString audio = DVDMPEGIICreateObject::strAudioFIFOName();
    const QString m4a = DVDMPEGIICreateObject::strTempM4AAudioFullPath();
    const QString m2v = DVDMPEGIICreateObject::strTempM2VVideoFullPath();
    const QString privateFolder = platform::paths::temporaryFolder();
    ASSERT_TRUE(privateFolder.startsWith(folder.path())) << qPrintable(privateFolder);
    EXPECT_EQ(QFileInfo(privateFolder).permissions() & 0x0077, 0) << "others may not look in";
    for (const QString& path : {video, audio, m4a, m2v}) {
        const bool large = path == m4a || path == m2v; // on disk, not in the runtime folder
        EXPECT_EQ(QFileInfo(path).absolutePath(),
                  large ? platform::paths::largeTemporaryFolder() : privateFolder)
            << qPrintable(path);
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith("10468DAE-4D11-4C1B-893C-A7C0DF8AA810_"));
    }
    EXPECT_TRUE(video.endsWith("_video_fifo"));
    EXPECT_TRUE(audio.endsWith("_audio_fifo"));
    EXPECT_TRUE(m4a.endsWith("_temp_audio.m4a"));
    EXPECT_TRUE(m2v.endsWith("_temp_video.m2v"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(video).constData(), 0600), 0);
    for (const QString& path : {audio, m4a, m2v}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    DVDMPEGIICreateObject::deleteTempFiles();
    EXPECT_FALSE(exists(video));
    EXPECT_FALSE(exists(m4a));
    EXPECT_FALSE(exists(m2v));
    EXPECT_TRUE(exists(audio)) << "a file that is not a pipe stands at the pipe's name: not ours";
}

TEST_F(MPEGIICreatorTest, WithTheMenuTheMenuStreamComesFirstAndOneFinishedNoticeFollowsBoth) {
    manager->setBUseDVDMenu(true);
    project->setBDVDVideoAspect16_9(true);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName(),
                                 DVDMPEGIICreateObject::progressNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(runBoth(*creator));
    ASSERT_EQ(creator->end(), End::Completed) << qPrintable(creator->error().message());
    EXPECT_TRUE(creator->bNeedCreateDVDMenuAndSlideshow());
    EXPECT_EQ(host.outputsSeen, (std::vector<QString>{menuPath, showPath}));
    EXPECT_EQ(passes, (std::vector<Pass>{Pass::Menu, Pass::Slideshow}));
    EXPECT_EQ(host.framesWritten, 40);
    EXPECT_EQ(host.pipeMode, 0600);
    const QStringList names = log.names();
    EXPECT_EQ(names.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
    EXPECT_EQ(names.last(), DVDMPEGIICreateObject::movieFinishedNotificationName());
    const auto notes = log.all();
    const auto progress = std::find_if(notes.begin(), notes.end(), [](const auto& note) {
        return note.name == DVDMPEGIICreateObject::progressNotificationName();
    });
    ASSERT_NE(progress, notes.end());
    EXPECT_EQ(progress->userInfo.value("baseinfo").toMap(),
              DVDMPEGIICreateObject::dictEncodingProgressStep().value("tempbackgroundmusic").toMap());
    EXPECT_EQ(progress->object.value<void*>(), static_cast<void*>(creator.get())) << "posted by the creator";
    EXPECT_EQ(ends, std::vector<End>{End::Completed});
    expectDVDStream(menuPath, false, true);
    expectDVDStream(showPath, false, true);
    expectTemporaryFilesGone();
}

TEST_F(MPEGIICreatorTest, WithoutTheMenuOnlyTheSlideshowIsWritten) {
    manager->setBUseDVDMenu(false);
    project->setBTVSystemPAL(true);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(runBoth(*creator));
    ASSERT_EQ(creator->end(), End::Completed) << qPrintable(creator->error().message());
    EXPECT_EQ(host.menuCalls, 0);
    EXPECT_EQ(host.slideshowCalls, 1);
    EXPECT_FALSE(exists(menuPath));
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
    expectDVDStream(showPath, true, false);
    expectTemporaryFilesGone();
}

TEST_F(MPEGIICreatorTest, TheMenuAloneIsOnePassWithItsOwnNotice) {
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(creator->startRunDVDMenu({{"strOutputFullPath", menuPath}}));
    ASSERT_TRUE(finishes(*creator));
    ASSERT_EQ(creator->end(), End::Completed) << qPrintable(creator->error().message());
    EXPECT_FALSE(creator->bNeedCreateDVDMenuAndSlideshow());
    EXPECT_EQ(host.menuCalls, 1);
    EXPECT_EQ(host.slideshowCalls, 0);
    EXPECT_TRUE(dvd_test::runProgram("ffprobe", {"-v", "error", menuPath}));
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 1);
}

TEST_F(MPEGIICreatorTest, LettingGoOfARunningCreatorStopsItsFFmpegAndWaitsForItsThreads) {
    dvd_test::FakeTools tools;
    const QByteArray pidFile = QFile::encodeName(folder.file("ffmpeg.pid"));
    tools.add("ffmpeg", "echo $$ > \"" + pidFile + ".tmp\"\nmv \"" + pidFile + ".tmp\" \"" + pidFile +
                            "\"\nexec sleep 60");
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(creator->startRun({{"strOutputFullPath", showPath}}));
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(folder.file("ffmpeg.pid")); }));
    QFile file(folder.file("ffmpeg.pid"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(file.readAll().trimmed().toInt());
    ASSERT_GT(pid, 0);
    creator.reset();
    EXPECT_EQ(::kill(pid, 0), -1) << "ffmpeg still runs";
    EXPECT_EQ(host.slideshowCalls, 1);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_EQ(ends, std::vector<End>{End::Cancelled});
    EXPECT_FALSE(exists(showPath));
    expectTemporaryFilesGone();
}

TEST_F(MPEGIICreatorTest, ASecondStartWhileTheFirstRunsIsRefused) {
    dvd_test::FakeTools tools;
    tools.add("ffmpeg", "touch \"" + QFile::encodeName(folder.file("started")) + "\"\nexec sleep 60");
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(creator->startRun({{"strOutputFullPath", showPath}}));
    EXPECT_FALSE(creator->startRun({{"strOutputFullPath", menuPath}}));
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(folder.file("started")); }));
    creator->cancel();
    ASSERT_TRUE(finishes(*creator));
    EXPECT_EQ(creator->end(), End::Cancelled);
}

// Another program puts a link to a file of its own at a stream's name after the creator made the stream's
// file and before ffmpeg opens it: ffmpeg writes only into the file made for the stream, the link's target
// keeps its bytes, and the pass fails saying so rather than take another's file for the stream.
TEST_F(MPEGIICreatorTest, ALinkPutAtAStreamsNameIsNeverWrittenThrough) {
    manager->setBUseDVDMenu(false);
    const QString victim = folder.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    ScriptedPumpHost::Script script;
    script.beforeOpen = [&victim](const QString& output) {
        ASSERT_TRUE(QFile::link(victim, output + ".link"));
        ASSERT_EQ(
            ::rename(QFile::encodeName(output + ".link").constData(), QFile::encodeName(output).constData()),
            0);
    };
    ScriptedPumpHost host(script);
    auto creator = makeCreator(host);
    ASSERT_TRUE(creator->startRun({{"strOutputFullPath", showPath}}));
    ASSERT_TRUE(finishes(*creator));
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    EXPECT_EQ(creator->end(), End::Failed);
    EXPECT_EQ(creator->error().step, "ffmpeg");
    EXPECT_TRUE(creator->error().detail.contains("Another program")) << qPrintable(creator->error().detail);
    EXPECT_TRUE(creator->streamFile(showPath).isEmpty()) << "no stream is handed on";
    EXPECT_TRUE(QFileInfo(showPath).isSymLink()) << "another program's link is not ours to remove";
}

// ---- failures: each ends the command naming its step, with no finished notice and no stream left

class MPEGIICreatorFailureTest : public MPEGIICreatorTest {
protected:
    // Runs both passes with the menu on; the one error told.
    DVDStepError failingRun(ScriptedPumpHost& host) {
        manager->setBUseDVDMenu(true);
        NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
        auto creator = makeCreator(host);
        EXPECT_TRUE(runBoth(*creator));
        EXPECT_EQ(creator->end(), End::Failed);
        EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
        EXPECT_EQ(ends, std::vector<End>{End::Failed});
        EXPECT_EQ(host.slideshowCalls, 0) << "the slideshow pass starts after a failed menu pass";
        EXPECT_FALSE(exists(menuPath));
        EXPECT_FALSE(exists(showPath));
        expectTemporaryFilesGone();
        return errors.empty() ? DVDStepError{} : errors.front();
    }

    dvd_test::FakeTools tools;
};

TEST_F(MPEGIICreatorFailureTest, AnFFmpegThatFailsIsNamedWithItsLastWords) {
    tools.add("ffmpeg", "echo 'Unknown encoder mp2' >&2\nexit 1");
    ScriptedPumpHost host({});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "ffmpeg");
    EXPECT_TRUE(error.detail.contains("status 1")) << qPrintable(error.detail);
    EXPECT_TRUE(error.detail.contains("Unknown encoder mp2")) << qPrintable(error.detail);
    EXPECT_TRUE(error.detail.contains("menu")) << qPrintable(error.detail);
    EXPECT_EQ(host.menuCalls, 1); // the pump waiting for a reader was let go
}

TEST_F(MPEGIICreatorFailureTest, AnFFmpegThatWritesNoStreamFails) {
    tools.add("ffmpeg", "exit 0");
    ScriptedPumpHost host({});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "ffmpeg");
    EXPECT_TRUE(error.detail.contains("without writing")) << qPrintable(error.detail);
}

TEST_F(MPEGIICreatorFailureTest, AnFFmpegThatCannotStartReleasesThePump) {
    QFile broken(tools.file("ffmpeg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("#!/nonexistent/interpreter\n");
    broken.close();
    broken.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ScriptedPumpHost host({});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "ffmpeg");
    EXPECT_TRUE(error.detail.contains("did not start")) << qPrintable(error.detail);
    EXPECT_EQ(host.menuCalls, 1);
    EXPECT_EQ(host.framesWritten, 0);
}

TEST_F(MPEGIICreatorFailureTest, AnFFmpegThatStopsReadingMidStreamIsTheCauseNotThePump) {
    // The pipe is the thirteenth argument: it reads a few frames' worth and gives up. The show is longer
    // than the pipe holds, so the pump meets a pipe without reader well before ffmpeg's exit, which comes
    // after a while of its own.
    tools.add("ffmpeg", "head -c 60000 \"${13}\" > /dev/null\nsleep 1\nexit 3");
    ScriptedPumpHost host({.frames = 200});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "ffmpeg");
    EXPECT_TRUE(error.detail.contains("status 3")) << qPrintable(error.detail);
    EXPECT_TRUE(error.detail.contains("The frames:")) << qPrintable(error.detail);
    EXPECT_LT(host.framesWritten, 200);
}

TEST_F(MPEGIICreatorFailureTest, APumpThatFailsFirstStopsTheRealFFmpegWaitingForFrames) {
    ScriptedPumpHost host({.failBeforeOpening = true});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "frames");
    EXPECT_TRUE(error.detail.contains("no context to draw on")) << qPrintable(error.detail);
}

TEST_F(MPEGIICreatorFailureTest, APumpThatEndsWithoutAWordIsAFailure) {
    ScriptedPumpHost host({.silent = true});
    const DVDStepError error = failingRun(host);
    EXPECT_EQ(error.step, "frames");
}

TEST_F(MPEGIICreatorFailureTest, SoundThatCannotBeMixedStopsBeforeAnyFrame) {
    manager->setBUseDVDMenu(true);
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    creator->setAudioMixStep([](Pass, const auto&, const auto&) {
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, "no sound at all"};
    });
    ASSERT_TRUE(runBoth(*creator));
    ASSERT_EQ(creator->end(), End::Failed);
    EXPECT_EQ(creator->error().step, "background music");
    EXPECT_EQ(creator->error().detail, "no sound at all");
    EXPECT_EQ(host.menuCalls + host.slideshowCalls, 0);
    EXPECT_FALSE(exists(DVDMPEGIICreateObject::strVideoFIFOName()));
}

// Another program puts a sound of its own in place of the mixed sound as the mix ends: it is not taken for
// the menu's sound, and the step says why.
TEST_F(MPEGIICreatorFailureTest, ASoundReplacedAsTheMixEndsStopsBeforeAnyFrame) {
    manager->setBUseDVDMenu(true);
    const QString other = folder.file("other.m4a");
    QString written;
    ASSERT_TRUE(ToneMaker::writeEncoded(other, "ipod", "aac", 880.0, 1.0, 0.3f, {}, &written))
        << qPrintable(written);
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    const auto mix = toneMix(1.0, nullptr);
    creator->setAudioMixStep([&](Pass pass, const auto& cancelled, const auto& progress) {
        const MixedAudioExport::Result result = mix(pass, cancelled, progress);
        if (pass == Pass::Menu) {
            EXPECT_EQ(
                ::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(DVDMPEGIICreateObject::strTempM4AAudioFullPath()).constData()),
                0);
        }
        return result;
    });
    ASSERT_TRUE(runBoth(*creator));
    ASSERT_EQ(creator->end(), End::Failed);
    EXPECT_EQ(creator->error().step, "background music");
    EXPECT_TRUE(creator->error().detail.contains("another program removed or replaced it"))
        << qPrintable(creator->error().detail);
    EXPECT_EQ(host.menuCalls + host.slideshowCalls, 0);
    expectTemporaryFilesGone();
}

// ---- cancel

TEST_F(MPEGIICreatorTest, ACancelDuringTheMenusSoundStartsNothingMore) {
    manager->setBUseDVDMenu(true);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    creator->setAudioMixStep([this](Pass pass, const MixedAudioExport::CancelCheck& cancelled, const auto&) {
        passes.push_back(pass);
        project->setBExportProgressCancelButtonClicked(true); // the progress window's button
        EXPECT_TRUE(cancelled());
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Cancelled, {}};
    });
    ASSERT_TRUE(runBoth(*creator));
    EXPECT_EQ(creator->end(), End::Cancelled);
    EXPECT_EQ(passes, std::vector<Pass>{Pass::Menu});
    EXPECT_EQ(host.menuCalls + host.slideshowCalls, 0);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_EQ(ends, std::vector<End>{End::Cancelled});
    EXPECT_FALSE(creator->error().isSet());
    expectTemporaryFilesGone();
}

TEST_F(MPEGIICreatorTest, ACancelledFFmpegThatIgnoresTheRequestIsKilledAndReaped) {
    dvd_test::FakeTools tools;
    const QByteArray marker = QFile::encodeName(folder.file("ffmpeg.pid"));
    tools.add("ffmpeg", "trap '' TERM\necho $$ > \"" + marker + ".tmp\"\nmv \"" + marker + ".tmp\" \"" +
                            marker + "\"\nexec sleep 60");
    manager->setBUseDVDMenu(false);
    NotificationLog log(center, {DVDMPEGIICreateObject::movieFinishedNotificationName()});
    ScriptedPumpHost host({});
    auto creator = makeCreator(host);
    ASSERT_TRUE(creator->startRunDVDMenuAndSlideshow({{"strOutputFullPath", showPath}}));
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(folder.file("ffmpeg.pid")) || !creator->isRunning(); }));
    QFile pidFile(folder.file("ffmpeg.pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toInt());
    ASSERT_GT(pid, 0);
    project->setBExportProgressCancelButtonClicked(true);
    ASSERT_TRUE(finishes(*creator));
    EXPECT_EQ(creator->end(), End::Cancelled);
    EXPECT_EQ(log.count(DVDMPEGIICreateObject::movieFinishedNotificationName()), 0);
    EXPECT_EQ(::kill(pid, 0), -1) << "ffmpeg still runs";
    EXPECT_FALSE(exists(showPath));
    expectTemporaryFilesGone();
}
