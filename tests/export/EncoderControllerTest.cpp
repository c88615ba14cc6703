#include "EncoderTestSupport.h"
#include "support/MovieDecoder.h"

#include "export/MixedAudioExport.h"
#include "model/MusicItem.h"
#include "platform/foundation/MainThread.h"
#include "support/MediaProbe.h"
#include "support/TestEnvironment.h"
#include "support/ToneMaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

using namespace encoder_test;

namespace {

const QString kFinished = EncoderController::movieFinishedNotificationName();
const QString kFailed = EncoderController::movieFailedNotificationName();

int distance(QColor a, QColor b) {
    return std::max(
        {std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

} // namespace

class EncoderControllerTest : public EncoderTest {
protected:
    NotificationLog notes{{kFinished, kFailed, MixedAudioExport::progressNotificationName()}};

    QString moviePath() const {
        return project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    }
    // Runs an export of one second through `host` to its told end.
    std::shared_ptr<EncoderController> runToItsEnd(ScriptedPumpHost& host) {
        auto encoder = makeEncoder(1.0);
        EXPECT_TRUE(encoder->encodeVideo_2_FIFO(&host));
        EXPECT_TRUE(waitForEnd(*encoder));
        encoder->waitUntilFinished();
        EXPECT_TRUE(waitFor([&] { return notes.count(kFinished) + notes.count(kFailed) == 1; }));
        return encoder;
    }
};

TEST_F(EncoderControllerTest, AnswersWhatTheWriterOffersOnce) {
    EXPECT_TRUE(EncoderController::softwareAvailable());
    EXPECT_TRUE(EncoderController::deviceSupportsVideoEncoding());
    EXPECT_EQ(EncoderController::maximumFrameSize(), QSize(1920, 1080));
    EXPECT_EQ(EncoderController::maximumFrameSize(), QSize(1920, 1080));
    EXPECT_EQ(QFileInfo(EncoderController::strOpenGLRGBAVideoFIFOFullPath()).fileName(),
              QStringLiteral("v_fifo_%1").arg(::getpid()));
    EXPECT_EQ(EncoderController::strTempM4AAudioFullPath(), SlideshowProject::strTempM4AAudioFullPath());
    EXPECT_EQ(EncoderController().nEncodeVideoBitrate(), 10'800'000u);
}

TEST_F(EncoderControllerTest, RefusesProtectedSongsNamingThemInSongOrder) {
    std::vector<MusicItemRef> songs;
    for (const auto& [file, title] : {std::pair{"first.M4P", "A"}, {"plain.mp3", "C"}, {"second.m4p", "B"}}) {
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary(
            {{"pureFileName", file}, {"strTitle", title}, {"titleFromFileName", title}});
        songs.push_back(song);
    }
    project->setMusicArray(songs);
    ScriptedPumpHost host(scriptedPump({}));
    auto encoder = makeEncoder();
    EXPECT_FALSE(encoder->encodeVideo_2_FIFO(&host));
    const QVariantMap result = encoder->dictEncodeResult();
    EXPECT_FALSE(result.value("result").toBool());
    EXPECT_TRUE(result.value("desc").toString().endsWith(QStringLiteral(" A, B")))
        << result.value("desc").toString().toStdString();
    EXPECT_FALSE(result.contains("errno"));
    EXPECT_FALSE(QFileInfo::exists(EncoderController::strOpenGLRGBAVideoFIFOFullPath()));
    EXPECT_EQ(host.calls, 0);
}

TEST_F(EncoderControllerTest, MakesItsPipePrivateAndRemovesItAndTheMixedSoundAtTheEnd) {
    std::atomic<bool> release{false};
    struct stat pipeInfo {
    }, folderInfo{};
    int statResult = -1;
    QString reached;
    ScriptedPumpHost host([&](const FramePumpParam<EncoderController>& param) {
        // The pump is handed the pipe through the export's descriptor of it.
        const QByteArray path = QFile::encodeName(param.strVideoFIFO);
        statResult = ::stat(path.constData(), &pipeInfo);
        reached = QFile::symLinkTarget(param.strVideoFIFO);
        ::lstat(QFile::encodeName(QFileInfo(reached).path()).constData(), &folderInfo);
        scriptedPump({})(param);
    });
    auto encoder = makeEncoder();
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    ASSERT_EQ(statResult, 0);
    EXPECT_EQ(reached, EncoderController::strOpenGLRGBAVideoFIFOFullPath());
    EXPECT_TRUE(S_ISFIFO(pipeInfo.st_mode));
    EXPECT_EQ(pipeInfo.st_mode & 0777, 0600u);
    EXPECT_EQ(pipeInfo.st_uid, ::geteuid());
    EXPECT_EQ(folderInfo.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFileInfo::exists(EncoderController::strTempM4AAudioFullPath()));
    encoder.reset();
    EXPECT_FALSE(QFileInfo::exists(EncoderController::strOpenGLRGBAVideoFIFOFullPath()));
    EXPECT_FALSE(QFileInfo::exists(EncoderController::strTempM4AAudioFullPath()));
    (void)release;
}

TEST_F(EncoderControllerTest, LinksPlantedAtTheFixedNamesAreReplacedNotFollowed) {
    const QStringList names{moviePath(), EncoderController::strTempM4AAudioFullPath(),
                            EncoderController::strOpenGLRGBAVideoFIFOFullPath()};
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString target = folder.file(QString("target-%1").arg(i));
        test_support::writeBytes(target, "keep");
        ASSERT_TRUE(QFile::link(target, names[i]));
    }
    ScriptedRenderer::Script script;
    script.frames = 6;
    useShowOfFrames(6);
    ScriptedPumpHost host(scriptedPump(script));
    auto encoder = makeEncoder(1.0);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host))
        << encoder->dictEncodeResult().value("desc").toString().toStdString();
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) == 1; }));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(test_support::readBytes(folder.file(QString("target-%1").arg(i))), "keep")
            << names[i].toStdString();
}

// Another program puts a link to a file of its own at the pipe's name as the pictures begin: no frame is
// written into its file, and the movie is made of the frames of the export.
TEST_F(EncoderControllerTest, ALinkPutAtThePipesNameMidRunIsNeverFollowed) {
    const QString victim = folder.file("other-program.dat");
    test_support::writeBytes(victim, "keep");
    ScriptedRenderer::Script script;
    script.frames = 6;
    useShowOfFrames(6);
    ScriptedPumpHost host([&](const FramePumpParam<EncoderController>& param) {
        const QString name = EncoderController::strOpenGLRGBAVideoFIFOFullPath();
        EXPECT_TRUE(QFile::link(victim, name + ".link"));
        EXPECT_EQ(
            ::rename(QFile::encodeName(name + ".link").constData(), QFile::encodeName(name).constData()), 0);
        scriptedPump(script)(param);
    });
    const auto encoder = runToItsEnd(host);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(notes.count(kFinished), 1)
        << encoder->dictEncodeResult().value("desc").toString().toStdString();
    EXPECT_EQ(test_support::readBytes(victim), "keep");
    const MediaProbe probe = MediaProbe::probe(moviePath());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_NE(probe.firstOfType("video"), nullptr);
    EXPECT_EQ(probe.firstOfType("video")->packets, 5);                  // every frame but the first drawn
    QFile::remove(EncoderController::strOpenGLRGBAVideoFIFOFullPath()); // the export leaves the other's link
}

// A folder is put at the movie's name while the movie is made: the movie is not made, and the failure says
// why rather than blaming another program's file.
TEST_F(EncoderControllerTest, AFolderPutAtTheMoviesNameMidRunIsToldAsSuch) {
    ScriptedRenderer::Script script;
    script.frames = 6;
    useShowOfFrames(6);
    ScriptedPumpHost host([&](const FramePumpParam<EncoderController>& param) {
        EXPECT_TRUE(QDir().mkdir(moviePath()));
        scriptedPump(script)(param);
    });
    const auto encoder = runToItsEnd(host);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(notes.count(kFailed), 1);
    const QString desc = encoder->dictEncodeResult().value("desc").toString();
    EXPECT_TRUE(desc.contains("Is a directory")) << desc.toStdString();
    EXPECT_FALSE(desc.contains("another program")) << desc.toStdString();
    EXPECT_TRUE(QFileInfo(moviePath()).isDir());
    QDir().rmdir(moviePath());
}

// Another program puts a sound of its own in place of the mixed sound as the mix ends: the export does not
// take it for the slideshow's sound, and says that the sound is missing.
TEST_F(EncoderControllerTest, AMixedSoundReplacedAsTheMixEndsIsNotHeard) {
    const QString other = folder.file("other.m4a");
    QString error;
    ASSERT_TRUE(ToneMaker::writeEncoded(other, "ipod", "aac", 880.0, 1.0, 0.5f, {}, &error))
        << error.toStdString();
    useShowOfFrames(6);
    ScriptedPumpHost host(scriptedPump({}));
    auto encoder = makeEncoder();
    encoder->setAudioMixStep(toneMix(1.0, [&] {
        EXPECT_EQ(::rename(QFile::encodeName(other).constData(),
                           QFile::encodeName(EncoderController::strTempM4AAudioFullPath()).constData()),
                  0);
    }));
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) + notes.count(kFailed) == 1; }));
    EXPECT_EQ(notes.count(kFinished), 0) << "the other program's sound was taken for the slideshow's";
    EXPECT_EQ(encoder->dictEncodeResult().value("desc").toString(),
              "The mixed sound of the slideshow is missing.");
    EXPECT_EQ(host.calls, 0);
}

TEST_F(EncoderControllerTest, WritesEachPipedFrameAtItsTimeWithTheMixedSoundCutToTheShow) {
    ScriptedRenderer::Script script;
    script.frames = 12;
    useShowOfFrames(12);
    ScriptedPumpHost host(scriptedPump(script));
    auto encoder = makeEncoder(1.0); // the mix runs past the show, as a padded one does
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) == 1; }));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    EXPECT_EQ(notes.count(kFailed), 0);
    EXPECT_GE(notes.count(MixedAudioExport::progressNotificationName()), 1);
    EXPECT_TRUE(encoder->dictEncodeResult().isEmpty());
    EXPECT_EQ(encoder->framesAppended(), 11); // every frame but the first drawn

    const MediaProbe probe = MediaProbe::probe(moviePath());
    ASSERT_TRUE(probe.ok) << probe.error.toStdString();
    ASSERT_EQ(probe.streams.size(), 2u);
    ASSERT_TRUE(probe.firstOfType("video") && probe.firstOfType("audio"));
    EXPECT_EQ(probe.firstOfType("video")->codec, "h264");
    EXPECT_EQ(probe.firstOfType("audio")->codec, "aac");
    EXPECT_EQ(probe.firstOfType("video")->width, 128);

    const DecodedMovie movie = DecodedMovie::decode(moviePath(), {0, 5, 10});
    ASSERT_TRUE(movie.ok) << movie.error.toStdString();
    ASSERT_EQ(movie.frameTimes.size(), 11u);
    for (std::size_t i = 0; i < movie.frameTimes.size(); ++i)
        EXPECT_NEAR(movie.frameTimes[i], double(i + 1) / 30.0, 1e-3) << "frame " << i;
    for (int i : {0, 5, 10})
        EXPECT_LE(distance(movie.frames.at(i).pixelColor(64, 36), frameColour(quint64(i) + 1)), 12)
            << "frame " << i;
    EXPECT_GT(movie.audioLevel(0.1, 0.2), 0.2);
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, 12 / 30.0, 1 / 30.0);
}

TEST_F(EncoderControllerTest, AssemblesFramesThatArriveInShortPieces) {
    ScriptedRenderer::Script script;
    script.frames = 4;
    script.chunk = 1000; // not a divisor of the 36,864-byte frame
    script.pausePerChunk = std::chrono::milliseconds(1);
    ScriptedPumpHost host(scriptedPump(script));
    auto encoder = makeEncoder(0.2);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) == 1; }));
    encoder->waitUntilFinished();
    const DecodedMovie movie = DecodedMovie::decode(moviePath(), {0, 1, 2});
    ASSERT_EQ(movie.frameTimes.size(), 3u);
    for (int i : {0, 1, 2}) {
        const QImage& frame = movie.frames.at(i);
        for (QPoint at : {QPoint(2, 2), QPoint(125, 69), QPoint(64, 36)})
            EXPECT_LE(distance(frame.pixelColor(at), frameColour(quint64(i) + 1)), 12) << "frame " << i;
    }
}

TEST_F(EncoderControllerTest, AppendsOnlyWholeFramesAndFailsAStreamCutInsideOne) {
    ScriptedRenderer::Script script;
    script.frames = 10;
    script.dieAfter = 3;
    ScriptedPumpHost host(scriptedPump(script));
    auto encoder = makeEncoder(0.4);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    EXPECT_EQ(encoder->framesAppended(), 3);
    EXPECT_EQ(notes.count(kFinished), 0);
    EXPECT_FALSE(encoder->dictEncodeResult().value("result").toBool());
    EXPECT_FALSE(notes.last(kFailed)->userInfo.value("desc").toString().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(EncoderControllerTest, APumpThatStopsEarlyIsAFailureNotAShortMovie) {
    ScriptedRenderer::Script script;
    script.frames = 10;
    script.failRenderAt = 4;
    ScriptedPumpHost host(scriptedPump(script));
    auto encoder = makeEncoder(0.4);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    encoder->waitUntilFinished();
    EXPECT_EQ(notes.count(kFinished), 0);
    EXPECT_EQ(notes.last(kFailed)->userInfo.value("desc").toString(),
              QStringLiteral("The slideshow could not be drawn."));
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(EncoderControllerTest, APumpThatNeverOpensThePipeEndsTheExportAsAFailure) {
    ScriptedPumpHost host([](const FramePumpParam<EncoderController>& param) {
        param.creator->setBVideoReadThreadFinished(true); // quits at once, silently
    });
    auto encoder = makeEncoder(0.4);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&host));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    ASSERT_TRUE(waitForEnd(*encoder));
    encoder->waitUntilFinished();
    EXPECT_EQ(encoder->framesAppended(), 0);
    EXPECT_EQ(notes.count(kFinished), 0);
    EXPECT_FALSE(QFileInfo::exists(moviePath()));
}

TEST_F(EncoderControllerTest, StartingAgainResetsEverythingOfTheLastExport) {
    ScriptedRenderer::Script first;
    first.frames = 10;
    first.dieAfter = 2; // the first export fails
    ScriptedPumpHost failing(scriptedPump(first));
    auto encoder = makeEncoder(0.3);
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&failing));
    ASSERT_TRUE(waitFor([&] { return notes.count(kFailed) == 1; }));
    ASSERT_TRUE(waitForEnd(*encoder));

    ScriptedRenderer::Script second;
    second.frames = 7;
    useShowOfFrames(7);
    ScriptedPumpHost working(scriptedPump(second));
    ASSERT_TRUE(encoder->encodeVideo_2_FIFO(&working));
    EXPECT_TRUE(encoder->dictEncodeResult().isEmpty());
    EXPECT_FALSE(encoder->bVideoWriteThreadFinished() || encoder->bAudioThreadFinished());
    ASSERT_TRUE(waitFor([&] { return notes.count(kFinished) == 1; }));
    encoder->waitUntilFinished();
    EXPECT_EQ(encoder->framesAppended(), 6);
    const DecodedMovie movie = DecodedMovie::decode(moviePath());
    EXPECT_EQ(movie.frameTimes.size(), 6u);
    EXPECT_NEAR(movie.frameTimes.front(), 1 / 30.0, 1e-3);
    EXPECT_NEAR(double(movie.audio.size() / 2) / 44100.0, 7 / 30.0, 1 / 30.0);
}
