#include "MixerTestSupport.h"

#include "export/EncoderController.h"
#include "export/FFMMP4CreateObject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "support/ClipMaker.h"
#include "support/FilesBeingMade.h"
#include "support/MediaProbe.h"
#include "support/MovieDecoder.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace {

const QString kFinished = EncoderController::movieFinishedNotificationName();
const QString kFailed = EncoderController::movieFailedNotificationName();

// Runs the main thread's queued work until the condition holds; false after a limit that only keeps a
// broken test from hanging.
bool waitFor(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class Recorder {
public:
    Recorder() {
        auto& center = platform::NotificationCenter::defaultCenter();
        for (const QString& name : {kFinished, kFailed})
            handles.emplace_back(center, center.addObserver(name, [this](const platform::Notification& note) {
                const std::lock_guard lock(mutex);
                seen.push_back(note);
            }));
    }
    int count(const QString& name) {
        const std::lock_guard lock(mutex);
        return int(std::count_if(seen.begin(), seen.end(), [&](const auto& n) { return n.name == name; }));
    }
    QString failure() {
        const std::lock_guard lock(mutex);
        for (const auto& note : seen)
            if (note.name == kFailed)
                return note.userInfo.value("desc").toString();
        return {};
    }
    int total() {
        const std::lock_guard lock(mutex);
        return int(seen.size());
    }

private:
    std::mutex mutex;
    std::vector<platform::Notification> seen;
    std::vector<platform::ObserverHandle> handles;
};

// A pump that writes solid BGRA frames of the output size, a different grey each, as the read-back would.
class SolidFramePump : public FramePumpHost<FFMMP4CreateObject> {
public:
    void runFramePump(const FramePumpParam<FFMMP4CreateObject>& param) override {
        ++calls;
        pipes = param;
        for (const QString& path : {param.strVideoFIFO, param.strAudioFIFO}) {
            struct stat st {};
            modes.push_back(::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0);
            reached.push_back(QFile::symLinkTarget(path));
        }
        FFMMP4CreateObject& creator = *param.creator;
        const QSizeF size = SlideshowProject::sizeVideoOutput();
        std::vector<unsigned char> frame(std::size_t(size.width() * size.height() * 4));
        QString error;
        if (beforeOpen)
            beforeOpen();
        const platform::UniqueFd fd = platform::NamedPipe::openForWriting(
            param.strVideoFIFO, &error, [&] { return !creator.shouldStopPump(); });
        opened = bool(fd);
        std::mt19937 random(5);
        for (int i = 0; fd && i < frames && !creator.shouldStopPump(); ++i) {
            std::fill(frame.begin(), frame.end(), static_cast<unsigned char>(40 + 20 * (i % 8)));
            if (grain)
                std::generate(frame.begin(), frame.end(),
                              [&] { return static_cast<unsigned char>(random()); });
            for (std::size_t p = 3; p < frame.size(); p += 4)
                frame[p] = 255;
            if (!platform::writeFully(fd.get(), frame.data(), frame.size(), &error)) {
                creator.framePumpFailed(error);
                break;
            }
            ++written;
            if (afterFrame)
                afterFrame(i);
        }
        if (fd)
            creator.framePumpWrote(quint64(written.load()));
    }

    int frames = 12;
    bool grain = false; // noise, which costs the encoder many bytes a frame
    std::function<void(int)> afterFrame;
    std::function<void()> beforeOpen; // while ffmpeg waits for the pictures, its output not yet open
    std::atomic<int> calls{0};
    std::atomic<int> written{0};
    std::atomic<bool> opened{false};
    FramePumpParam<FFMMP4CreateObject> pipes;
    std::vector<mode_t> modes; // of the video and the audio pipe, as the pump found them
    QStringList reached;       // the files the pump's names for the pipes lead to
};

} // namespace

class FFMMP4Test : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(tools());
        project = platform::makeMainThreadShared<SlideshowProject>();
        SlideshowProject::retainProject(project);
        SlideshowProject::setSizeVideoOutput(QSizeF(128, 72));
        creator = std::make_unique<FFMMP4CreateObject>(&pump);
        creator->setAudioMixStep(toneMix());
        creator->setCancelPolling(std::chrono::milliseconds(20), 10);
    }
    void TearDown() override {
        creator.reset();
        project->setBExportProgressCancelButtonClicked(false);
        SlideshowProject::resetMainProjectForTesting();
    }

    QString tools() const { return dir.path() + "/tools"; }
    QString output() const { return dir.path() + "/movie.mp4"; }
    // A small movie without sound, as another program might put in place of the mixed sound.
    static bool makeSilentMovie(const QString& path) {
        ClipMaker::Options silent;
        silent.size = QSize(128, 72);
        silent.frames = 5;
        silent.audio = false;
        QString error;
        const bool made = ClipMaker::make(path, silent, &error);
        EXPECT_TRUE(made) << error.toStdString();
        return made;
    }

    // A sound step that writes `seconds` of tone as the mixed M4A, after `also`, and tells the file it
    // wrote as the mix does; `after` runs once it is written.
    FFMMP4CreateObject::MixStep toneMix(std::function<void()> also = {}, double seconds = 1.0,
                                        std::function<void()> after = {}) {
        return [also, seconds, after](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                                      const MixedAudioExport::ProgressHandler&) {
            if (also)
                also();
            QString error;
            const QString path = SlideshowProject::strTempM4AAudioFullPath();
            if (!ToneMaker::writeEncoded(path, "ipod", "aac", 440, seconds, 0.5, {}, &error))
                return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, error};
            const std::optional<platform::FileIdentity> written = platform::FileIdentity::ofPath(path);
            if (after)
                after();
            return MixedAudioExport::Result{MixedAudioExport::Outcome::Completed, {}, written};
        };
    }

    // An ffmpeg stand-in: a shell script in the tools folder, which tests put first.
    void fakeFFmpeg(const QString& body) {
        QFile script(tools() + "/ffmpeg");
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        toolsEnv.emplace("VISTRELLE_TOOLS_DIR", tools());
    }

    void start() { ASSERT_TRUE(creator->startEncodeMovie({{"strOutputFullPath", output()}})); }
    bool ended() {
        if (!waitFor([this] { return !creator->isRunning(); }))
            return false;
        QCoreApplication::processEvents(); // what it queued for the main thread before it ended
        return true;
    }
    static bool exists(const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    }
    void expectNoTemporaryFiles() {
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strVideoFIFOName()));
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strAudioFIFOName()));
        EXPECT_FALSE(exists(FFMMCreateObjectBase::strTempM4AAudioFullPath()));
    }

    TempDir dir;
    std::optional<test_support::EnvOverride> toolsEnv;
    SlideshowProjectRef project;
    SolidFramePump pump;
    Recorder recorder;
    std::unique_ptr<FFMMP4CreateObject> creator;
};

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

// ---- failures are told, once, and leave nothing behind

TEST_F(FFMMP4Test, AFailingFFmpegIsReportedWithItsLastWords) {
    fakeFFmpeg("printf '%s\\n' \"$@\" > \"" + dir.file("arguments") +
               "\"\neval last=\\${$#}\nreadlink \"$last\" > \"" + dir.file("reached") +
               "\"\nreadlink \"${13}\" \"${15}\" > \"" + dir.file("inputs") +
               "\"\necho 'Unknown encoder somecodec' >&2\nexit 1");
    std::vector<FFMMP4CreateObject::Outcome> ends;
    creator->setEndHandler([&](const FFMMP4CreateObject::Outcome& outcome) { ends.push_back(outcome); });
    start();
    ASSERT_TRUE(ended());
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].end, FFMMP4CreateObject::Outcome::End::Failed);
    EXPECT_EQ(ends[0].error, recorder.failure());
    EXPECT_EQ(recorder.count(kFinished), 0) << "a failure was told as a success";
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_TRUE(recorder.failure().contains("status 1")) << recorder.failure().toStdString();
    EXPECT_TRUE(recorder.failure().contains("Unknown encoder somecodec")) << recorder.failure().toStdString();
    EXPECT_FALSE(QFile::exists(output()));
    expectNoTemporaryFiles();

    QFile arguments(dir.file("arguments"));
    ASSERT_TRUE(arguments.open(QIODevice::ReadOnly));
    const QStringList given = QString::fromUtf8(arguments.readAll()).split('\n', Qt::SkipEmptyParts);
    // The movie is written, through our descriptor, into an unnamed file of its own in the output's folder
    // (this file system has them), gone with the failure.
    ASSERT_FALSE(given.isEmpty());
    const QString reached = QString::fromUtf8(test_support::readBytes(dir.file("reached"))).trimmed();
    EXPECT_EQ(QFileInfo(reached).path(), dir.path());
    EXPECT_TRUE(QFileInfo(reached).fileName().startsWith("#")) << reached.toStdString();
    EXPECT_FALSE(exists(reached));
    // The frames' pipe and the mixed sound are named through our descriptors of the files made for them.
    ASSERT_GE(given.size(), 15);
    EXPECT_EQ(given,
              FFMMP4CreateObject::ffmpegArguments(QSizeF(128, 72), given[12], given[14], given.back()));
    EXPECT_EQ(QString::fromUtf8(test_support::readBytes(dir.file("inputs"))).split('\n', Qt::SkipEmptyParts),
              (QStringList{FFMMCreateObjectBase::strVideoFIFOName(),
                           FFMMCreateObjectBase::strTempM4AAudioFullPath()}));
}

// ffmpeg never opens the pipe: the pump, waiting for a reader, is let go.
TEST_F(FFMMP4Test, APumpWaitingForAReaderThatNeverComesIsLetGo) {
    fakeFFmpeg("exit 2");
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFailed), 1);
    EXPECT_EQ(recorder.count(kFinished), 0);
    EXPECT_EQ(pump.calls.load(), 1);
    EXPECT_LT(pump.written.load(), pump.frames) << "the whole show was drawn for nobody";
}

// ffmpeg reads one frame and goes: the pump's next write meets a pipe without a reader, which must end the
// pump, not the program.
TEST_F(FFMMP4Test, FFmpegDyingMidStreamEndsThePumpNotTheProgram) {
    fakeFFmpeg("head -c 36864 \"${13}\" > /dev/null\nexit 1");
    pump.frames = 200;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFailed), 1);
    EXPECT_EQ(recorder.count(kFinished), 0);
    EXPECT_GE(pump.written.load(), 1);
    EXPECT_LT(pump.written.load(), 200);
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, FFmpegKilledBySignalIsAFailure) {
    fakeFFmpeg("kill -9 $$");
    start();
    ASSERT_TRUE(ended());
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_TRUE(recorder.failure().contains("signal 9")) << recorder.failure().toStdString();
}

TEST_F(FFMMP4Test, AnExitWithoutAMovieIsAFailure) {
    fakeFFmpeg("cat \"${13}\" > /dev/null\nexit 0");
    pump.frames = 5;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(pump.written.load(), 5);
    EXPECT_EQ(recorder.count(kFinished), 0);
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_TRUE(recorder.failure().contains("without writing the movie")) << recorder.failure().toStdString();
}

// The pump stops on its own (a frame it could not draw): ffmpeg makes a short movie, which is no success.
TEST_F(FFMMP4Test, APumpThatFailedSpoilsTheMovie) {
    pump.frames = 10;
    pump.afterFrame = [this](int i) {
        if (i == 3) {
            creator->framePumpFailed("The slideshow could not be drawn.");
            pump.frames = 0;
        }
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 0);
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_EQ(recorder.failure().toStdString(), "The slideshow could not be drawn.");
    EXPECT_FALSE(QFile::exists(output()));
}

// The pump gives up before it ever opens the pipe, while ffmpeg waits in its open for a writer.
TEST_F(FFMMP4Test, APumpThatNeverOpensThePipeDoesNotLeaveFFmpegWaiting) {
    struct GivingUp : FramePumpHost<FFMMP4CreateObject> {
        void runFramePump(const FramePumpParam<FFMMP4CreateObject>& param) override {
            param.creator->framePumpFailed("The slideshow could not be drawn.");
        }
    } givingUp;
    creator->setFramePumpHost(&givingUp);
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 0);
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_FALSE(QFile::exists(output()));
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, AFailedMixStartsNeitherPumpNorFFmpeg) {
    fakeFFmpeg("touch \"" + dir.file("ran") + "\"");
    creator->setAudioMixStep([](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                                const MixedAudioExport::ProgressHandler&) {
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, "no sound today"};
    });
    start();
    ASSERT_TRUE(ended());
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_EQ(recorder.failure().toStdString(), "no sound today");
    EXPECT_EQ(pump.calls.load(), 0);
    EXPECT_FALSE(QFile::exists(dir.file("ran")));
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, NothingToDrawTheFramesIsAFailure) {
    creator->setFramePumpHost(nullptr);
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFailed), 1);
    EXPECT_EQ(recorder.count(kFinished), 0);
}

// ---- cancel

TEST_F(FFMMP4Test, ACancelWhileMixingMakesNoPipesAndTellsNothing) {
    fakeFFmpeg("touch \"" + dir.file("ran") + "\"");
    creator->setAudioMixStep(toneMix([this] { project->setBExportProgressCancelButtonClicked(true); }));
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.total(), 0);
    EXPECT_EQ(pump.calls.load(), 0);
    EXPECT_FALSE(QFile::exists(dir.file("ran")));
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, ACancelWhileFFmpegRunsStopsItAndLeavesNothing) {
    // Reads the frames slowly, as a busy encoder would, and says when it has begun.
    fakeFFmpeg("echo $$ > \"" + dir.file("pid") + "\"\nexec cat \"${13}\" > /dev/null");
    pump.frames = 100000;
    pump.afterFrame = [this](int i) {
        if (i == 5)
            project->setBExportProgressCancelButtonClicked(true);
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.total(), 0) << "a cancel was told as an end";
    EXPECT_LT(pump.written.load(), 1000);
    EXPECT_FALSE(QFile::exists(output()));
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, AnFFmpegThatIgnoresTheStopIsKilled) {
    fakeFFmpeg("trap '' TERM\ntouch \"" + dir.file("started") + "\"\nwhile :; do sleep 0.05; done");
    pump.frames = 0;
    start();
    ASSERT_TRUE(waitFor([this] { return QFile::exists(dir.file("started")); }));
    creator->setBCancelRequest(true);
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.total(), 0);
    expectNoTemporaryFiles();
}

TEST_F(FFMMP4Test, OneRunAtATimeAndAnotherAfterIt) {
    fakeFFmpeg("trap '' TERM\ntouch \"" + dir.file("started") + "\"\nwhile :; do sleep 0.05; done");
    start();
    ASSERT_TRUE(waitFor([this] { return QFile::exists(dir.file("started")); }));
    EXPECT_FALSE(creator->startEncodeMovie({{"strOutputFullPath", output()}}));
    creator->setBCancelRequest(true);
    ASSERT_TRUE(ended());
    toolsEnv.reset(); // the real ffmpeg from here on
    pump.frames = 5;
    start(); // the cancel of the first run does not carry over
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1);
}

TEST_F(FFMMP4Test, GoingAwayMidRunStopsEverything) {
    fakeFFmpeg("touch \"" + dir.file("started") + "\"\nexec cat \"${13}\" > /dev/null");
    pump.frames = 100000;
    start();
    ASSERT_TRUE(waitFor([this] { return pump.written.load() > 3; }));
    creator.reset(); // must not hang, crash or leave a thread writing
    EXPECT_GT(pump.written.load(), 3);
}

// ---- ffmpeg's word is checked, and fixed names are never followed

TEST_F(FFMMP4Test, AMovieThatFFmpegOnlyClaimsToHaveWrittenIsAFailure) {
    ClipMaker::Options shortClip;
    shortClip.size = QSize(128, 72);
    shortClip.frames = 3;
    shortClip.audio = true;
    ClipMaker::Options silentClip = shortClip;
    silentClip.frames = 30;
    silentClip.audio = false;
    QString error;
    ASSERT_TRUE(ClipMaker::make(dir.file("short.mp4"), shortClip, &error)) << error.toStdString();
    ASSERT_TRUE(ClipMaker::make(dir.file("silent.mp4"), silentClip, &error)) << error.toStdString();
    const QString consume = "cat \"${13}\" > /dev/null\neval out=\\${$#}\n";
    for (const auto& [writes, complaint] :
         {std::pair{QString("echo 'no movie at all' > \"$out\""), "no pictures"},
          {"cp \"" + dir.file("short.mp4") + "\" \"$out\"", "3 pictures instead of 30"},
          {"cp \"" + dir.file("silent.mp4") + "\" \"$out\"", "sound is missing"}}) {
        SCOPED_TRACE(complaint);
        fakeFFmpeg(consume + writes + "\nexit 0");
        pump.frames = 30;
        pump.written = 0;
        Recorder told;
        start();
        ASSERT_TRUE(ended());
        EXPECT_EQ(told.count(kFinished), 0) << "ffmpeg's word was taken";
        ASSERT_EQ(told.count(kFailed), 1);
        EXPECT_TRUE(told.failure().contains(complaint)) << told.failure().toStdString();
        EXPECT_FALSE(QFile::exists(output()));
    }
}

// Another program writes into whatever stands at the movie's name while ffmpeg writes the movie, a stale
// movie there too: the movie told finished decodes without an error.
TEST_F(FFMMP4Test, AProgramWritingAtTheMoviesNameMeanwhileDoesNotReachTheMovie) {
    ASSERT_TRUE(test_support::writeBytes(output(), QByteArray(64 * 1024, 'm')));
    creator->setAudioMixStep(
        toneMix({}, 10.0)); // sound beside every picture, so that ffmpeg writes as it goes
    pump.frames = 300;
    pump.grain = true;
    bool reached = false;
    pump.afterFrame = [&](int i) {
        if (i != 200)
            return;
        // Until a good part of the pictures is in the movie being made, wherever it is.
        ASSERT_TRUE(test_support::waitWithoutEvents(
            [&] { return test_support::largestFileIn(dir.path()) >= 256 * 1024; }, 60000));
        reached = test_support::writeIntoInPlace(output());
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_TRUE(reached);
    ASSERT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    const DecodedMovie movie = DecodedMovie::decode(output());
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    EXPECT_EQ(movie.decodeErrors, 0);
    EXPECT_EQ(movie.frameTimes.size(), 300u);
    EXPECT_EQ(creator->writtenMovie(), platform::FileIdentity::ofPath(output()));
}

TEST_F(FFMMP4Test, LinksPlantedAtTheFixedNamesAreReplacedNotFollowed) {
    const QStringList names{output(), FFMMCreateObjectBase::strTempM4AAudioFullPath(),
                            FFMMCreateObjectBase::strVideoFIFOName(),
                            FFMMCreateObjectBase::strAudioFIFOName()};
    for (qsizetype i = 0; i < names.size(); ++i) {
        test_support::writeBytes(dir.file(QString("target-%1").arg(i)), "keep");
        ASSERT_TRUE(QFile::link(dir.file(QString("target-%1").arg(i)), names[i]));
    }
    pump.frames = 5;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(test_support::readBytes(dir.file(QString("target-%1").arg(i))), "keep")
            << names[i].toStdString();
    EXPECT_FALSE(QFileInfo(output()).isSymLink());
}

// Another program puts a link to a file of its own at the frames' pipe, and a movie without sound at the
// mixed sound's name, while ffmpeg starts: no frame goes into its file, ffmpeg reads the frames and the sound
// of the export, and the movie told finished has them.
TEST_F(FFMMP4Test, FilesPutAtThePipesAndTheSoundsNamesWhileFFmpegStartsAreNeverUsed) {
    const QString victim = dir.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    ASSERT_TRUE(makeSilentMovie(dir.file("silent.mp4")));
    pump.frames = 5;
    pump.beforeOpen = [&] {
        ASSERT_TRUE(QFile::link(victim, dir.file("pipe.link")));
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("pipe.link")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strVideoFIFOName()).constData()),
                  0);
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("silent.mp4")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strTempM4AAudioFullPath()).constData()),
                  0);
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    const MediaProbe probe = MediaProbe::probe(output());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_NE(probe.firstOfType("video"), nullptr);
    EXPECT_EQ(probe.firstOfType("video")->packets, 5);
    EXPECT_NE(probe.firstOfType("audio"), nullptr) << "the other program's silence was taken for the sound";
    QFile::remove(
        FFMMCreateObjectBase::strVideoFIFOName()); // the other program's link stays the export's end
}

// Another program puts a movie without sound in place of the mixed sound as the mix ends: the export does not
// take it for its sound, and says that the movie was not made.
TEST_F(FFMMP4Test, AMixedSoundReplacedAsTheMixEndsIsRefused) {
    ASSERT_TRUE(makeSilentMovie(dir.file("silent.mp4")));
    creator->setAudioMixStep(toneMix({}, 1.0, [&] {
        ASSERT_EQ(::rename(QFile::encodeName(dir.file("silent.mp4")).constData(),
                           QFile::encodeName(FFMMCreateObjectBase::strTempM4AAudioFullPath()).constData()),
                  0);
    }));
    pump.frames = 5;
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 0) << "a movie without its sound was told finished";
    ASSERT_EQ(recorder.count(kFailed), 1);
    EXPECT_TRUE(recorder.failure().contains("another program removed or replaced it"))
        << recorder.failure().toStdString();
    EXPECT_EQ(pump.calls.load(), 0);
    EXPECT_FALSE(QFile::exists(output()));
}

// A folder stands at the movie's name, from the start or put there while ffmpeg starts: the movie is not
// made, and the failure says why rather than blaming another program's file.
TEST_F(FFMMP4Test, AFolderAtTheMoviesNameIsToldAsSuch) {
    for (const auto& [fromTheStart, told] :
         {std::pair{true, "a folder is in the way"}, std::pair{false, "Is a directory"}}) {
        SCOPED_TRACE(told);
        QDir(output()).removeRecursively();
        if (fromTheStart) {
            ASSERT_TRUE(QDir().mkdir(output()));
        }
        pump.frames = 5;
        pump.calls = 0;
        pump.written = 0;
        pump.beforeOpen = [&, fromTheStart = fromTheStart] {
            if (!fromTheStart) {
                ASSERT_TRUE(QDir().mkdir(output()));
            }
        };
        Recorder recorded;
        start();
        ASSERT_TRUE(ended());
        EXPECT_EQ(recorded.count(kFinished), 0);
        ASSERT_EQ(recorded.count(kFailed), 1);
        EXPECT_TRUE(recorded.failure().contains(told)) << recorded.failure().toStdString();
        EXPECT_FALSE(recorded.failure().contains("another program")) << recorded.failure().toStdString();
        EXPECT_EQ(pump.calls.load(), fromTheStart ? 0 : 1)
            << "frames were drawn for a movie that could not be";
        EXPECT_TRUE(QFileInfo(output()).isDir());
        expectNoTemporaryFiles();
    }
}

// Where the file system has no unnamed files the movie is made under a hidden name of its own. Another
// program that puts a link to a file of its own there before ffmpeg opens it, or removes the file, never has
// ffmpeg write into its file, and the end is told as a failure naming the movie the user asked for.
class FFMMP4HiddenNameTest : public FFMMP4Test {
protected:
    void SetUp() override {
        FFMMP4Test::SetUp();
        platform::setUnnamedFilesAllowed(false);
    }
    void TearDown() override {
        platform::setUnnamedFilesAllowed(true);
        FFMMP4Test::TearDown();
    }

    // Runs five pictures with `meddle` applied to the movie being made before ffmpeg opens it; its failure.
    QString runMeddledWith(const std::function<void(const QString& partial)>& meddle) {
        int meddled = 0;
        pump.frames = 5;
        pump.beforeOpen = [&] {
            for (const QString& name : test_support::filesBeingMadeFor(output())) {
                meddle(dir.file(name));
                ++meddled;
            }
        };
        start();
        EXPECT_TRUE(ended());
        EXPECT_EQ(meddled, 1);
        EXPECT_EQ(recorder.count(kFinished), 0);
        EXPECT_EQ(recorder.count(kFailed), 1);
        const QString failure = recorder.failure();
        EXPECT_TRUE(failure.endsWith("Export the movie again.")) << failure.toStdString();
        EXPECT_FALSE(failure.contains(output())) << "the cache's own file is not the user's";
        return failure;
    }
    QString movieName() const {
        return SlideshowProject::fileNameForTitle(project->strProjectTitle()) + ".mp4";
    }
};

TEST_F(FFMMP4HiddenNameTest, ALinkAtTheNameTheMovieIsMadeUnderIsNotWrittenThrough) {
    const QString victim = dir.file("other-program.dat");
    ASSERT_TRUE(test_support::writeBytes(victim, "keep"));
    const QString failure = runMeddledWith([&](const QString& path) {
        ASSERT_TRUE(QFile::link(victim, path + ".link"));
        ASSERT_EQ(
            ::rename(QFile::encodeName(path + ".link").constData(), QFile::encodeName(path).constData()), 0);
    });
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    EXPECT_TRUE(failure.startsWith("The movie \"" + movieName() +
                                   "\" was not made: another program put a file of its own in place of"))
        << failure.toStdString();
}

TEST_F(FFMMP4HiddenNameTest, AMovieRemovedWhileItIsMadeIsToldAsRemovedAndNotMade) {
    const QString failure = runMeddledWith([](const QString& path) { ASSERT_TRUE(QFile::remove(path)); });
    EXPECT_TRUE(
        failure.startsWith("The movie \"" + movieName() +
                           "\" was not made: another program removed the file it was being written into"))
        << failure.toStdString();
    EXPECT_FALSE(QFile::exists(output()));
}

// Where the file system has unnamed files, the movie being made has no name in its folder at all: no other
// program can open it to write into it.
TEST_F(FFMMP4Test, TheMovieBeingMadeHasNoNameAnotherProgramCouldOpen) {
    QStringList namesWhileWriting;
    QStringList unnamedWhileWriting;
    pump.frames = 5;
    pump.beforeOpen = [&] {
        namesWhileWriting = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        unnamedWhileWriting = test_support::unnamedFilesOpenIn(dir.path());
    };
    start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(recorder.count(kFinished), 1) << recorder.failure().toStdString();
    EXPECT_FALSE(namesWhileWriting.contains("movie.mp4"));
    for (const QString& name : namesWhileWriting)
        EXPECT_FALSE(name.startsWith(".movie.mp4.")) << name.toStdString();
    EXPECT_EQ(unnamedWhileWriting.size(), 1) << unnamedWhileWriting.join(", ").toStdString();
    EXPECT_EQ(creator->writtenMovie(), platform::FileIdentity::ofPath(output()));
}
