// The ways a movie export can go wrong after it has started, and its cancel: each ends with the three end
// flags set, every thread returned, the partial movie removed and, unless cancelled, a failure that says so.
#include "EncoderTestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/FilesBeingMade.h"
#include "support/RecordingDialogs.h"

#include "export/MixedAudioExport.h"
#include "export/MovieExportCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

using namespace encoder_test;

namespace {

const QString kFinished = EncoderController::movieFinishedNotificationName();
const QString kFailed = EncoderController::movieFailedNotificationName();

using test_support::FileSizeLimit;

// A pump that writes nothing and waits for the writer to end, so that the encoder's side is the first to
// meet a broken pipe.
ScriptedPumpHost::Body waitingPump() {
    return [](const FramePumpParam<EncoderController>& param) {
        EncoderController& owner = *param.creator;
        while (!owner.bVideoWriteThreadFinished())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        owner.setBVideoReadThreadFinished(true);
    };
}

// Spoils the mixed sound as the pictures begin: another program empties the file in place (the export reads
// on from the file it made, so taking the name away would not reach it), the sound ends early, and fails
// once it must start again from the beginning.
class SoundTakingRenderer : public ScriptedRenderer {
public:
    using ScriptedRenderer::ScriptedRenderer;
    bool begin(const Play& play, QString* error) override {
        EXPECT_TRUE(QFile::resize(SlideshowProject::strTempM4AAudioFullPath(), 0));
        return ScriptedRenderer::begin(play, error);
    }
};

} // namespace

class EncoderFailureTest : public EncoderTest {
protected:
    NotificationLog notes{{kFinished, kFailed}};
    std::unique_ptr<EncoderController> encoder = nullptr;

    QString moviePath() const {
        return project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    }

    // Starts an export whose pump is the scripted one, and waits for its end.
    void runExport(ScriptedPumpHost& host) {
        ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host))
            << encoder->dictEncodeResult().value("desc").toString().toStdString();
        ASSERT_TRUE(waitForEnd(*encoder));
        encoder->waitUntilFinished();
        waitFor([] { return true; }); // deliver what was posted to the main thread
    }

    // The export ended as a failure with this message, told once, and left no movie behind.
    void expectFailure(const QString& desc, std::optional<int> error = std::nullopt) {
        ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
        EXPECT_EQ(notes.count(kFinished), 0);
        const QVariantMap told = notes.last(kFailed)->userInfo;
        EXPECT_FALSE(told.value("result").toBool());
        EXPECT_EQ(told.value("desc").toString(), desc);
        if (error) {
            EXPECT_EQ(told.value("errno").toInt(), *error);
        }
        EXPECT_EQ(encoder->dictEncodeResult(), told);
        EXPECT_TRUE(encoder->bVideoReadThreadFinished() && encoder->bVideoWriteThreadFinished() &&
                    encoder->bAudioThreadFinished());
        EXPECT_FALSE(QFileInfo::exists(moviePath()));
    }
};

TEST_F(EncoderFailureTest, AFailedMixEndsTheExportWithoutStartingThePump) {
    encoder = makeEncoder();
    encoder->setAudioMixStep([](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                                const MixedAudioExport::ProgressHandler&) {
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, QStringLiteral("the mixer broke")};
    });
    ScriptedPumpHost host(scriptedPump({}));
    runExport(host);
    expectFailure(QStringLiteral("the mixer broke"));
    EXPECT_EQ(host.calls, 0);
}

TEST_F(EncoderFailureTest, AMixedSoundThatCannotBeReadEndsTheExport) {
    encoder = makeEncoder();
    encoder->setAudioMixStep(toneMix(1.0, [] {
        QFile file(SlideshowProject::strTempM4AAudioFullPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(4096, 'x'));
    }));
    ScriptedPumpHost host(scriptedPump({}));
    runExport(host);
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    EXPECT_FALSE(notes.last(kFailed)->userInfo.value("desc").toString().isEmpty());
    expectFailure(notes.last(kFailed)->userInfo.value("desc").toString());
    EXPECT_EQ(host.calls, 0);
}

TEST_F(EncoderFailureTest, AMixedSoundThatVanishedEndsTheExport) {
    encoder = makeEncoder();
    encoder->setAudioMixStep(
        toneMix(1.0, [] { QFile::remove(SlideshowProject::strTempM4AAudioFullPath()); }));
    ScriptedPumpHost host(scriptedPump({}));
    runExport(host);
    expectFailure(QStringLiteral("The mixed sound of the slideshow is missing."));
    EXPECT_EQ(host.calls, 0);
}

// The export reaches its pipe through the descriptor it made it with, whatever happens at the pipe's name:
// the pipe cannot be opened once that descriptor leads to a link that leads nowhere.
TEST_F(EncoderFailureTest, APipeThatCannotBeOpenedIsAFailureWithItsErrno) {
    TempDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.file("nothing"), elsewhere.file("dangling")));
    encoder = makeEncoder();
    encoder->setAudioMixStep(toneMix(1.0, [&] {
        const QList<int> pipe =
            test_support::descriptorsOf(EncoderController::strOpenGLRGBAVideoFIFOFullPath());
        ASSERT_EQ(pipe.size(), 1);
        const int dangling = ::open(QFile::encodeName(elsewhere.file("dangling")).constData(),
                                    O_PATH | O_NOFOLLOW | O_CLOEXEC);
        ASSERT_GE(dangling, 0);
        ASSERT_EQ(::dup3(dangling, pipe[0], O_CLOEXEC), pipe[0]);
        ::close(dangling);
    }));
    ScriptedPumpHost host(waitingPump());
    runExport(host);
    expectFailure(QStringLiteral("Can not open video named pipe!"), ELOOP);
}

TEST_F(EncoderFailureTest, AReadErrorIsAFailureWithItsErrno) {
    TempDir elsewhere;
    encoder = makeEncoder();
    encoder->setAudioMixStep(toneMix(1.0, [&] {
        // The descriptor the pipe is reached through leads to a folder: it opens for reading, but every read
        // fails.
        const QList<int> pipe =
            test_support::descriptorsOf(EncoderController::strOpenGLRGBAVideoFIFOFullPath());
        ASSERT_EQ(pipe.size(), 1);
        const int folder = ::open(QFile::encodeName(elsewhere.path()).constData(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(folder, 0);
        ASSERT_EQ(::dup3(folder, pipe[0], O_CLOEXEC), pipe[0]);
        ::close(folder);
    }));
    ScriptedPumpHost host(waitingPump());
    runExport(host);
    expectFailure(QStringLiteral("Can not read video named pipe!"), EISDIR);
}

TEST_F(EncoderFailureTest, AWriterThatFailsMidStreamEndsTheExportWithItsError) {
    std::optional<FileSizeLimit> limit;
    encoder = makeEncoder();
    // Once the sound is mixed, the movie may not grow beyond a few frames.
    encoder->setAudioMixStep(toneMix(4.0, [&limit] { limit.emplace(8 * 1024); }));
    // Far more frames than the writer holds back before its first write, so that even a loaded machine's
    // encoder has met the full disk long before the last of them.
    ScriptedRenderer::Script script;
    script.frames = 600;
    script.noisy = true;
    ScriptedPumpHost host(scriptedPump(script));
    runExport(host);
    limit.reset();
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    const QString desc = notes.last(kFailed)->userInfo.value("desc").toString();
    EXPECT_FALSE(desc.isEmpty());
    expectFailure(desc);
    EXPECT_LT(encoder->framesAppended(), script.frames - 1) << desc.toStdString();
}

TEST_F(EncoderFailureTest, ASoundThatFailsPartwayEndsTheWritersPathAsAFailure) {
    useShowOfFrames(90);
    encoder = makeEncoder(1.0); // runs dry a third of the way through
    RecordingDialogs dialogs;
    MovieExportCommand command(dialogs, []() -> std::unique_ptr<FrameRenderer> {
        ScriptedRenderer::Script script;
        script.frames = 90;
        return std::make_unique<SoundTakingRenderer>(script);
    });
    ASSERT_TRUE(encoder->encodeVideo_3(&command));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    expectFailure(SoundSource::mixedSoundFailure()); // the mix the export made, not the user's song
}

TEST_F(EncoderFailureTest, CancelWhileMixingEndsEverythingQuietly) {
    encoder = makeEncoder();
    std::atomic<bool> mixing{false};
    encoder->setAudioMixStep([&mixing](const SlideshowProjectRef&,
                                       const MixedAudioExport::CancelCheck& cancelled,
                                       const MixedAudioExport::ProgressHandler&) {
        mixing = true;
        while (!cancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Cancelled, QString()};
    });
    ScriptedPumpHost host(scriptedPump({}));
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return mixing.load(); }));
    project->setBExportProgressCancelButtonClicked(true); // the progress window's button
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    waitFor([] { return true; });
    EXPECT_EQ(notes.all().size(), 0u);
    EXPECT_EQ(host.calls, 0);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
    EXPECT_TRUE(encoder->dictEncodeResult().isEmpty());
}

TEST_F(EncoderFailureTest, CancelWhileWritingRemovesThePartialMovieAndEndsEveryThread) {
    const int threadsBefore = threadCount();
    encoder = makeEncoder(10.0);
    ScriptedRenderer::Script script;
    script.frames = 300;
    script.pausePerFrame = std::chrono::milliseconds(5);
    ScriptedPumpHost host(scriptedPump(script));
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return encoder->framesAppended() >= 5; }));
    EXPECT_EQ(test_support::filesBeingMadeFor(moviePath()).size(), 1);
    encoder->setBCancelRequest(true);
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    waitFor([] { return true; });
    EXPECT_EQ(notes.all().size(), 0u);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
    EXPECT_TRUE(test_support::filesBeingMadeFor(moviePath()).isEmpty());
    EXPECT_LT(encoder->framesAppended(), 299);
    EXPECT_EQ(threadCount(), threadsBefore);
}

TEST_F(EncoderFailureTest, CancelsOfATwoLaneExportAtSpreadMomentsEndQuietlyAndLeaveNothing) {
    const QSize size(640, 360);
    SlideshowProject::setSizeVideoOutput(QSizeF(size));
    const int threadsBefore = threadCount();
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        encoder = makeEncoder(10.0);
        encoder->setEncoderLanes(2);                 // what machines of 8 cores and more choose
        encoder->setNEncodeVideoBitrate(60'000'000); // the lanes code slower than the frames come
        ScriptedRenderer::Script script;
        script.frames = 300;
        script.size = size;
        script.noisy = true; // every frame keeps the lanes busy, so both still code at the cancel
        ScriptedPumpHost host(scriptedPump(script));
        ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
        // Before the first frame, then through the groups of 30 that the lanes take in turn, whose
        // packets each lane writes into the movie while the other codes the next group.
        const int64_t cancelAfter = run == 0 ? 0 : 50 + 10 * run;
        // Up to 240 noisy frames coded at 60 Mbit/s: a loaded machine takes tens of seconds over them.
        ASSERT_TRUE(
            waitFor([&] { return encoder->framesAppended() >= cancelAfter; }, std::chrono::minutes(10)));
        encoder->setBCancelRequest(true);
        ASSERT_TRUE(waitForEnd(*encoder));
        encoder->waitUntilFinished();
        waitFor([] { return true; });
        EXPECT_FALSE(QFileInfo::exists(moviePath()));
        EXPECT_LT(encoder->framesAppended(), 299);
        encoder.reset();
    }
    EXPECT_EQ(notes.all().size(), 0u); // neither finished nor failed: cancelled
    EXPECT_FALSE(QFileInfo::exists(EncoderController::strOpenGLRGBAVideoFIFOFullPath()));
    EXPECT_FALSE(QFileInfo::exists(EncoderController::strTempM4AAudioFullPath()));
    EXPECT_TRUE(QDir(QFileInfo(moviePath()).path())
                    .entryList(QDir::Files | QDir::System | QDir::Hidden)
                    .filter(QStringLiteral(".mp4"))
                    .isEmpty());
    EXPECT_EQ(threadCount(), threadsBefore);
}

TEST_F(EncoderFailureTest, DroppingARunningEncoderEndsItsThreads) {
    const int threadsBefore = threadCount();
    encoder = makeEncoder(10.0);
    ScriptedRenderer::Script script;
    script.frames = 300;
    script.pausePerFrame = std::chrono::milliseconds(5);
    ScriptedPumpHost host(scriptedPump(script));
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return encoder->framesAppended() >= 2; }));
    encoder.reset();
    EXPECT_EQ(threadCount(), threadsBefore);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(EncoderFailureTest, AnExportLeavesNoDescriptorOpen) {
    encoder = makeEncoder(0.3);
    ScriptedRenderer::Script script;
    script.frames = 8;
    ScriptedPumpHost host(scriptedPump(script));
    runExport(host); // a first run opens what the libraries keep for the whole process
    encoder.reset();
    const int before = openDescriptorCount();
    encoder = makeEncoder(0.3);
    runExport(host);
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) == 2; }));
    encoder.reset();
    EXPECT_EQ(openDescriptorCount(), before);
}
