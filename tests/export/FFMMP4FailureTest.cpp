// Failures and cancels: ffmpeg failing, dying, lying or ignoring the stop, the pump or the mix failing, and a
// cancel at each stage; each told once, leaving nothing behind.
#include "FFMMP4TestSupport.h"

#include "support/ClipMaker.h"

#include <QFile>

#include <utility>

using namespace ffmmp4_test;

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

// ---- ffmpeg's word is checked

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
