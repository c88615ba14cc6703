#include "EncoderTestSupport.h"

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/gl/Display.h"
#include "platform/gl/GlError.h"
#include "render/StageBackground.h"
#include "support/ClipMaker.h"
#include "support/ProjectClips.h"
#include "support/TestComposition.h"
#include "support/ToneMaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstring>
#include <random>
#include <thread>

namespace encoder_test {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QCoreApplication::processEvents();
    return true;
}

MixedAudioExport::Result writeToneMix(double seconds) {
    QString error;
    const QString path = SlideshowProject::strTempM4AAudioFullPath();
    if (!ToneMaker::writeEncoded(path, "ipod", "aac", 440.0, seconds, 0.5f, {}, &error))
        return MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, error};
    // As the mix tells it: the file as it was written, whatever happens at its name afterwards.
    const std::optional<platform::FileIdentity> written = platform::FileIdentity::ofPath(path);
    return MixedAudioExport::Result{MixedAudioExport::Outcome::Completed, QString(), written};
}

QColor frameColour(quint64 frame) {
    return QColor::fromHsv(int((frame * 67) % 360), 220, 230);
}

std::vector<unsigned char> solidFrame(int width, int height, QColor colour) {
    std::vector<unsigned char> bytes(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i] = static_cast<unsigned char>(colour.blue());
        bytes[i + 1] = static_cast<unsigned char>(colour.green());
        bytes[i + 2] = static_cast<unsigned char>(colour.red());
        bytes[i + 3] = 255;
    }
    return bytes;
}

// ---- scripted pumps

bool ScriptedRenderer::begin(const Play& play, QString* error) {
    path = play.pipePath;
    yuvFrames = play.yuvFrames;
    if (script.failBegin)
        *error = QStringLiteral("no drawing here");
    return !script.failBegin;
}

bool ScriptedRenderer::renderFrame() {
    if (script.failRenderAt && rendered >= *script.failRenderAt)
        return false;
    ++rendered;
    std::this_thread::sleep_for(script.pausePerFrame);
    return true;
}

bool ScriptedRenderer::writeFrame(QString* error) {
    if (dead)
        return true;
    if (!fd.isValid()) {
        fd = platform::NamedPipe::openForWriting(path, error);
        if (!fd.isValid())
            return false;
        pipeWasOpened = true;
    }
    auto bytes = solidFrame(script.size.width(), script.size.height(), frameColour(rendered - 1));
    if (script.noisy) { // eight bytes a draw: the grain must not slow the pump below the encoder
        std::mt19937_64 grain{quint64(rendered)};
        for (std::size_t at = 0; at + 8 <= bytes.size(); at += 8) {
            const std::uint64_t word = grain();
            std::memcpy(bytes.data() + at, &word, 8);
        }
    }
    std::size_t length = bytes.size();
    if (script.dieAfter && written >= *script.dieAfter) {
        length /= 2;
        platform::writeFully(fd.get(), bytes.data(), length, error);
        fd.reset();
        dead = true;
        return true;
    }
    const std::size_t chunk = script.chunk ? script.chunk : length;
    for (std::size_t at = 0; at < length; at += chunk) {
        if (!platform::writeFully(fd.get(), bytes.data() + at, std::min(chunk, length - at), error))
            return false;
        std::this_thread::sleep_for(script.pausePerChunk);
    }
    ++written;
    return true;
}

qint64 ScriptedRenderer::frameBytes() const {
    const qint64 pixels = qint64(script.size.width()) * script.size.height();
    return yuvFrames ? pixels * 3 / 2 : pixels * 4;
}

bool ScriptedRenderer::readFrame(unsigned char* buffer, qint64 size, QString* error) {
    if (size < frameBytes()) {
        *error = QStringLiteral("a buffer of %1 bytes is too small").arg(size);
        return false;
    }
    const QColor colour = frameColour(rendered - 1);
    if (yuvFrames) {
        const qint64 luma = qint64(script.size.width()) * script.size.height();
        std::memset(buffer, colour.lightness(), std::size_t(luma));
        std::memset(buffer + luma, 128, std::size_t(frameBytes() - luma));
    } else {
        const auto bytes = solidFrame(script.size.width(), script.size.height(), colour);
        std::memcpy(buffer, bytes.data(), bytes.size());
    }
    ++written;
    return true;
}

void ScriptedRenderer::end() {
    fd.reset();
    ended = true;
}

ScriptedPumpHost::Body scriptedPump(ScriptedRenderer::Script script) {
    return [script](const FramePumpParam<EncoderController>& param) {
        EncoderController& owner = *param.creator;
        ScriptedRenderer renderer(script);
        FramePump::Options options;
        options.pipePath = param.strVideoFIFO;
        options.stopBeforeWrite = [&owner] {
            return owner.bVideoWriteThreadFinished() && owner.bAudioThreadFinished();
        };
        options.beforeClose = [&owner](const FramePump::Outcome& outcome) {
            if (outcome.end == FramePump::Outcome::End::Failed)
                owner.framePumpFailed(outcome.error);
        };
        FramePump::run(renderer, options);
        owner.setBVideoReadThreadFinished(true);
    };
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

int openDescriptorCount() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

// ---- the fixture

void EncoderTest::SetUp() {
    SlideshowProject::setSizeVideoOutput(QSizeF(128, 72));
    project = user.openProject();
}

void EncoderTest::TearDown() {
    QCoreApplication::processEvents(); // no queued post of this test may reach the next one
    test_support::IsolatedUser::resetSingletons();
    project.reset();
}

QString EncoderTest::contents() const {
    return user.contents();
}

EncoderController::MixStep EncoderTest::toneMix(double seconds, std::function<void()> also) {
    return [seconds, also](const SlideshowProjectRef&, const MixedAudioExport::CancelCheck&,
                           const MixedAudioExport::ProgressHandler& progress) {
        if (progress)
            progress(1.0f);
        const MixedAudioExport::Result mixed = writeToneMix(seconds);
        if (mixed.completed() && also)
            also();
        return mixed;
    };
}

std::unique_ptr<EncoderController> EncoderTest::makeEncoder(double toneSeconds) {
    auto encoder = std::make_unique<EncoderController>();
    encoder->setStrVideoOutputFullPath(
        project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput()));
    encoder->setAudioMixStep(toneMix(toneSeconds));
    return encoder;
}

void EncoderTest::useShowOfFrames(quint64 frames) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->customSetDurations(float(frames) / 30.0f, 0.0f);
    project->setSlideshowArray({slide});
    project->calcSlideItemsPhotoTransitionDuration();
    ASSERT_EQ(project->totalFrameCount(), frames);
}

bool EncoderTest::waitForEnd(const EncoderController& encoder) {
    return waitFor([&] {
        return encoder.bVideoReadThreadFinished() && encoder.bVideoWriteThreadFinished() &&
               encoder.bAudioThreadFinished();
    });
}

void addColourSlidesAndTone(SlideshowProject& project, const QString& contents,
                            const std::array<QColor, 3>& colours) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < 3; ++i)
        slides.push_back(
            stillPhoto(contents, QStringLiteral("colour%1.png").arg(i), colours[std::size_t(i)]));
    project.setSlideshowArray(slides);
    project.calcSlideItemsPhotoTransitionDuration();
    ASSERT_TRUE(ToneMaker::writeWav(contents + "/tone.wav", 440.0, 2.0, 0.5f));
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary(
        {{"pureFileName", "tone.wav"}, {"titleFromFileName", "tone"}, {"numberDuration", 2.0}});
    project.setMusicArray({song});
    project.setBBackgroundMusicLoopFlag(false); // the song plays once: 2 s of sound, then silence
}

std::shared_ptr<VideoSlideItem> clipSlide(SlideshowProject& project, const QString& folder,
                                          const QString& name, int frames) {
    ClipMaker::Options options;
    options.size = QSize(160, 90);
    options.frames = frames;
    const QString source = folder + "/" + name;
    QString error;
    EXPECT_TRUE(ClipMaker::make(source, options, &error)) << error.toStdString();
    return test_support::clipSlideOf(project, source);
}

std::shared_ptr<QuartzSlideItem> compositionSlide(const QString& contents, const QString& name) {
    const QString path = contents + "/" + name;
    EXPECT_TRUE((test_support::TestComposition{.fill = {Qt::black, Qt::white}, .period = 1.0}.write(path)));
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(path, contents);
    slide->customSetDurations(1.0f, 0.5f);
    slide->openComposition(nullptr);
    return slide;
}

} // namespace encoder_test
