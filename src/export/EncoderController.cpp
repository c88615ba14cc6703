// The encoder's class-level answers, its start on the caller's thread, the driver thread, the end of the
// writing and the state its threads share.
#include "export/EncoderController.h"

#include "export/EncoderControllerShared.h"
#include "export/EncodingProgressSteps.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/media/AudioReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <optional>

using encoder_controller::failureResult;
using encoder_controller::kAudioChunkFrames;
using encoder_controller::pipeOpenFailure;
using platform::media::AudioReader;
using platform::media::MediaKind;
using platform::media::MovieContainer;
using platform::media::MovieWriter;

namespace {

constexpr std::chrono::milliseconds kDrainWait{200};

const std::array<QSize, 4> kExportPresetSizes = {QSize(640, 360), QSize(960, 540), QSize(1280, 720),
                                                 QSize(1920, 1080)};

// The name the finished movie is delivered under: the project's title with the output format's extension.
QString movieFileName(const SlideshowProject* project) {
    const QString extension = platform::sanitizedFileName(SlideshowProject::strVideoOutputFormat().toLower(),
                                                          QStringLiteral("mp4"));
    return SlideshowProject::fileNameForTitle(project ? project->strProjectTitle() : QString()) +
           QLatin1Char('.') + extension;
}

} // namespace

namespace encoder_controller {

QVariantMap failureResult(const QString& desc, std::optional<int> error) {
    QVariantMap result{{"result", false}, {"desc", desc}};
    if (error && *error != 0)
        result.insert("errno", *error);
    return result;
}

QString pipeOpenFailure() {
    return tr_("Can not open video named pipe!");
}

} // namespace encoder_controller

EncoderController::EncoderController() : mixStep(&MixedAudioExport::exportProjectMix) {}

EncoderController::~EncoderController() {
    deInitVar();
}

// ---- class-level answers

bool EncoderController::softwareAvailable() {
    return MovieWriter::isAvailable();
}

QSize EncoderController::maximumFrameSize() {
    static const QSize largest = [] {
        QSize best(0, 0);
        if (!softwareAvailable())
            return best;
        for (const QSize& size : kExportPresetSizes)
            if (size.width() > best.width())
                best = size;
        return best;
    }();
    return largest;
}

bool EncoderController::deviceSupportsVideoEncoding() {
    const QSize largest = maximumFrameSize();
    return softwareAvailable() && (largest.width() != 0 || largest.height() != 0);
}

QString EncoderController::strOpenGLRGBAVideoFIFOFullPath() {
    const QString folder = platform::paths::temporaryFolder();
    return folder.isEmpty() ? QString() : QStringLiteral("%1/v_fifo_%2").arg(folder).arg(::getpid());
}

void EncoderController::deleteOrphanedVideoFIFOs() {
    static const QRegularExpression pattern(QStringLiteral("^v_fifo_([1-9][0-9]*)$"));
    platform::removePipesOfEndedProcesses(platform::paths::temporaryFolder(), pattern);
}

QString EncoderController::strTempM4AAudioFullPath() {
    return SlideshowProject::strTempM4AAudioFullPath();
}

// ---- start, on the caller's thread

bool EncoderController::encodeVideo_2_FIFO(FramePumpHost<EncoderController>* caller) {
    return startExport(caller, Frames::Pipe, true);
}

bool EncoderController::encodeVideo_1(FramePumpHost<EncoderController>* caller) {
    return startExport(caller, Frames::RGBAPool, false);
}

bool EncoderController::encodeVideo_2(FramePumpHost<EncoderController>* caller) {
    return startExport(caller, Frames::RGBAPool, true);
}

bool EncoderController::encodeVideo_YUV_Test(FramePumpHost<EncoderController>* caller) {
    return startExport(caller, Frames::YUVPool, true);
}

bool EncoderController::encodeVideo_3(FramePumpHost<EncoderController>* caller) {
    return startExport(caller, Frames::Writer, true);
}

bool EncoderController::startExport(FramePumpHost<EncoderController>* caller, Frames frames, bool sound) {
    const QSizeF output = SlideshowProject::sizeVideoOutput();
    deInitVar();
    if (caller)
        host = caller;
    frameSize = QSize(int(output.width()), int(output.height()));
    frameSource = frames;
    withSound = sound;
    const SlideshowProjectRef owner = SlideshowProject::mainProject();
    project = owner;
    if (withSound && doesExistProtectedMusicFileInProject())
        return false;
    if (!host)
        return refuse(failureResult(tr_("Nothing renders the frames of the movie.")));
    if (frameSource == Frames::Pipe && !createPipe())
        return false;
    QFile::remove(outputPath);
    QFile::remove(strTempM4AAudioFullPath());
    if (!createWriter(frameSize))
        return false;
    if (frameSource == Frames::RGBAPool || frameSource == Frames::YUVPool) {
        const qint64 pixels = qint64(frameSize.width()) * frameSize.height();
        const qint64 bytes = frameSource == Frames::YUVPool ? pixels * 3 / 2 : pixels * 4;
        bufferPool = std::make_unique<EncoderBufferManager>(unsigned(bytes),
                                                            EncoderBufferManager::kDefaultWAVBufferSize);
    }
    driver = std::thread([this] { encodeVideo_2_FIFO_ThreadProc(); });
    return true;
}

bool EncoderController::doesExistProtectedMusicFileInProject() {
    const SlideshowProjectRef owner = owningProject();
    if (!owner)
        return false;
    QStringList titles;
    for (const MusicItemRef& song : owner->musicArray()) {
        const QString file = song->strFilePathIn(owner->strMacProjectBundleContentsPath());
        if (QFileInfo(file).suffix().compare(QLatin1String("m4p"), Qt::CaseInsensitive) == 0)
            titles << song->strTitle();
    }
    if (titles.isEmpty())
        return false;
    QString desc = tr_("The protected music file(s) exist in project. Please remove the following files to "
                       "have a try:");
    desc += QStringLiteral(" %1").arg(titles.first());
    for (qsizetype i = 1; i < titles.size(); ++i)
        desc += QStringLiteral(", %1").arg(titles[i]);
    refuse(failureResult(desc));
    return true;
}

bool EncoderController::refuse(const QVariantMap& failure) {
    std::lock_guard lock(resultMutex);
    result = failure;
    return false;
}

bool EncoderController::createPipe() {
    fifoPath = strOpenGLRGBAVideoFIFOFullPath();
    if (fifoPath.isEmpty())
        return refuse(failureResult(platform::paths::temporaryFolderProblem()));
    errno = 0;
    if (!pipe.create(fifoPath)) {
        const int code = errno;
        return refuse(failureResult(pipeOpenFailure(), code));
    }
    return true;
}

bool EncoderController::createWriter(const QSize& size) {
    MovieWriter::Settings settings;
    settings.path = outputPath;
    settings.container = SlideshowProject::strVideoOutputFormat() == QLatin1String("MOV")
                             ? MovieContainer::QuickTime
                             : MovieContainer::MPEG4;
    settings.frameSize = size;
    settings.encoderLanes = encoderLanes;
    settings.planarPictures = frameSource == Frames::YUVPool;
    if (!withSound) { // the pictures alone, with the writer's own settings
        settings.container = MovieContainer::QuickTime;
    } else {
        settings.videoBitRate = int64_t(bitrate);
        if (frameSource == Frames::Writer) { // a QuickTime movie whose bit rate is a 32-bit number
            settings.container = MovieContainer::QuickTime;
            settings.videoBitRate = int64_t(std::min<uint64_t>(bitrate, uint64_t(INT32_MAX)));
        }
        settings.gopSize = kMaximumKeyFrameInterval;
        settings.timescale = kFrameRate;
        settings.frameRate = kFrameRate;
        settings.audio = true;
        settings.audioBitRate = 128000;
    }
    writer = std::make_unique<MovieWriter>(settings);
    const QVariantMap share =
        SlideshowProjectManager::defaultSlideshowProjectManager()->dictShareMovieParam();
    for (const char* key : {"title", "description"}) {
        const QString value = share.value(QLatin1String(key)).toString();
        if (!value.isEmpty())
            writer->setMetadata(QLatin1String(key), value);
    }
    if (writer->start())
        return true;
    const QString error = writer->errorString();
    writer.reset();
    return refuse(failureResult(error));
}

// ---- the driver thread: the sound, then the feeding and the pump

void EncoderController::encodeVideo_2_FIFO_ThreadProc() {
    const auto cancelled = [this] { return bCancelRequest() || projectCancelled(); };
    const QVariantMap stage = EncodingProgressSteps::stage(EncodingProgressSteps::dvdMPEGIIStages(),
                                                           EncodingProgressSteps::kBackgroundMusic());
    const MixedAudioExport::Result mixed =
        withSound ? mixStep(project.lock(), cancelled,
                            MixedAudioExport::progressNotifier(QVariant::fromValue(static_cast<void*>(this)),
                                                               stage))
                  : MixedAudioExport::Result{MixedAudioExport::Outcome::Completed, QString()};
    if (mixed.outcome == MixedAudioExport::Outcome::Cancelled || cancelled()) {
        writer->cancel();
        setAllEndFlags();
        videoReadFinished = true; // no pump was started
        return;
    }
    if (!mixed.completed()) {
        failAfterStart(failureResult(
            mixed.error.isEmpty() ? tr_("The sound of the slideshow could not be mixed.") : mixed.error));
        return;
    }
    // Read from here on through this descriptor: a file put at the name since the mix is never heard.
    if (withSound && !(mixedSound = platform::openWrittenFile(strTempM4AAudioFullPath(), mixed.written))) {
        failAfterStart(failureResult(tr_("The mixed sound of the slideshow is missing.")));
        return;
    }
    songs.reset();
    if (!withSound) {
        audioInputFinished = true;
    } else if (!initAudioVar(0)) {
        const QVariantMap reason = dictEncodeResult();
        failAfterStart(reason.isEmpty() ? failureResult(tr_("The mixed sound of the slideshow is missing."))
                                        : reason);
        return;
    } else if (frameSource == Frames::Writer) {
        const SlideshowProjectRef owner = project.lock();
        startAudioReadWrite(double(owner ? owner->totalFrameCount() : 0) / kFrameRate);
    } else {
        startSoundFeed();
    }
    if (frameSource != Frames::Writer) // that path feeds the writer from its pump and its sound thread
        startFeeding();
    pump = std::thread([this] {
        FramePumpParam<EncoderController> param{QString(), pipe.reachablePath(), this};
        param.frames = frameSource;
        host->runFramePump(param);
    });
}

void EncoderController::startFeeding() {
    const std::size_t bytes = std::size_t(frameSize.width()) * std::size_t(frameSize.height()) * 4;
    if (frameSource == Frames::Pipe)
        pipeReader = std::make_unique<FramePipeReader>(bytes);
    audioBuffer.resize(std::size_t(kAudioChunkFrames) * AudioReader::kChannels);
    mediaInputQueue = std::make_unique<platform::media::SerialQueue>(QStringLiteral("mediaInputQueue"));
    writer->requestMediaDataWhenReady(MediaKind::Video, *mediaInputQueue, [this] { videoBlock(); });
    writer->requestMediaDataWhenReady(MediaKind::Audio, *mediaInputQueue, [this] { audioBlock(); });
}

void EncoderController::failAfterStart(QVariantMap failure) {
    refuse(failure);
    writer->cancel();
    setAllEndFlags();
    videoReadFinished = true; // the pump is never started
    platform::NotificationCenter::defaultCenter().postOnMainThread(movieFailedNotificationName(), QVariant(),
                                                                   failure);
}

void EncoderController::threadEncodeMP4Thread(std::unique_ptr<MP4EncoderThreadParam> param) {
    const std::shared_ptr<const MP4EncoderThreadParam> holder = std::move(param);
    platform::runOnMainThread([holder] {
        if (holder)
            EncodeFinished(*holder);
    });
}

// ---- the end of the writing, on the queue

void EncoderController::videoBlockFinished_2() {
    if (std::exchange(writingEnded, true))
        return;
    // The pump may still be writing, or still waiting for a reader to open the pipe: keep reading until
    // it has ended, from the descriptor the read-ahead let go of.
    frameRing.reset();
    if (frameSource == Frames::Pipe)
        drain = std::thread(
            [this, fd = pipeReader ? pipeReader->takeDescriptor() : platform::UniqueFd()]() mutable {
                readDiscardFIFOVideoData(std::move(fd));
            });
    const bool cancelled = bCancelRequest();
    if (!cancelled && !hasFailure() && appendRemainingAudio()) {
        writer->markAsFinished(MediaKind::Video);
        writer->markAsFinished(MediaKind::Audio);
        if (!writer->finish())
            setFailure(failureResult(
                movieNotMadeText(owningProject().get(), writer->partialLoss(), writer->errorString())));
    }
    {
        std::lock_guard lock(resultMutex);
        written = writer->writtenFile();
    }
    const QVariantMap failed = failure();
    if (cancelled || !failed.isEmpty())
        writer->cancel(); // removes the partial movie
    audioReader.reset();
    if (!cancelled && !failed.isEmpty()) {
        refuse(failed);
        QFile::remove(outputPath);
        platform::NotificationCenter::defaultCenter().postOnMainThread(movieFailedNotificationName(),
                                                                       QVariant(), failed);
    } else if (!cancelled) {
        movieEncoderDidFinishEncoding();
    }
    setAllEndFlags();
}

QString EncoderController::movieNotMadeText(const SlideshowProject* project, platform::PartialLoss loss,
                                            const QString& otherwise) {
    // Only a loss of the file itself is another program's doing; a name that cannot be given says why.
    if (loss != platform::PartialLoss::Removed && loss != platform::PartialLoss::Replaced)
        return otherwise;
    const QString name = movieFileName(project);
    return loss == platform::PartialLoss::Removed
               ? tr_("The movie \"%1\" was not made: another program removed the file it was being written "
                     "into before it was finished. Export the movie again.")
                     .arg(name)
               : tr_("The movie \"%1\" was not made: another program put a file of its own in place of the "
                     "one it was being written into before it was finished. Export the movie again.")
                     .arg(name);
}

void EncoderController::movieEncoderDidFinishEncoding() {
    platform::NotificationCenter::defaultCenter().postOnMainThread(movieFinishedNotificationName());
}

void EncoderController::readDiscardFIFOVideoData(platform::UniqueFd fd) {
    const QByteArray name = QFile::encodeName(pipe.reachablePath());
    std::vector<char> scrap(64 * 1024);
    while (!bVideoReadThreadFinished()) {
        if (!fd.isValid())
            fd.reset(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.isValid()) {
            std::this_thread::sleep_for(kDrainWait);
            continue;
        }
        pollfd waiting{fd.get(), POLLIN, 0};
        if (::poll(&waiting, 1, int(kDrainWait.count())) <= 0)
            continue;
        // 0 after the writer's close, or an error: wait before the next try instead of spinning.
        if (::read(fd.get(), scrap.data(), scrap.size()) <= 0 && errno != EINTR && errno != EAGAIN)
            std::this_thread::sleep_for(kDrainWait);
    }
}

// ---- shared state

void EncoderController::framePumpFailed(const QString& message) {
    setFailure(failureResult(message));
}

void EncoderController::setFailure(const QVariantMap& failure) {
    std::lock_guard lock(resultMutex);
    if (pendingFailure.isEmpty()) // the first cause is the one to tell
        pendingFailure = failure;
}

bool EncoderController::hasFailure() const {
    std::lock_guard lock(resultMutex);
    return !pendingFailure.isEmpty();
}

QVariantMap EncoderController::failure() const {
    std::lock_guard lock(resultMutex);
    return pendingFailure;
}

QVariantMap EncoderController::dictEncodeResult() const {
    std::lock_guard lock(resultMutex);
    return result;
}

SlideshowProjectRef EncoderController::owningProject() const {
    const SlideshowProjectRef owner = project.lock();
    return owner ? owner : SlideshowProject::mainProject();
}

bool EncoderController::projectCancelled() const {
    const SlideshowProjectRef owner = project.lock();
    return owner && owner->bExportProgressCancelButtonClicked();
}

void EncoderController::setAllEndFlags() {
    videoWriteFinished = true;
    audioFinished = true;
}

// ---- the end of everything

void EncoderController::waitUntilFinished() {
    platform::joinUnlessSelf(driver, "the encoder's driver thread");
    // The queue's destructor returns once the writing has ended: no block is asked for after that.
    mediaInputQueue.reset();
    if (frameSource == Frames::Writer && pump.joinable()) {
        // That pump ends the writing itself (finishRGBInput), and stops at a cancel.
        platform::joinUnlessSelf(pump, "the encoder's frame pump");
        if (!writingEnded && writer) { // a pump that never said it was done
            requestAndWaitAudioThreadFinish();
            writingEnded = true;
            writer->cancel();
            setAllEndFlags();
        }
    }
    if (pump.joinable() && !writingEnded) {
        // The queue ended without running the end step (it cannot be asked for a block any more).
        writingEnded = true;
        writer->cancel(); // removes the partial movie
        frameRing.reset();
        if (frameSource == Frames::Pipe)
            drain = std::thread([this] { readDiscardFIFOVideoData(platform::UniqueFd()); });
        setAllEndFlags(); // a pool pump waiting for a buffer gives up
    }
    platform::joinUnlessSelf(pump, "the encoder's frame pump");
    platform::joinUnlessSelf(drain, "the encoder's pipe drain");
    stopAudioThread();
    // The writer's encoders keep threads of their own; nothing writes any more.
    writer.reset();
    soundFeed.reset();
    audioReader.reset();
    bufferPool.reset();
}

void EncoderController::deInitVar() {
    cancelRequest = true;
    waitUntilFinished();
    frameRing.reset();
    pipeReader.reset(); // closes the read end
    pipe.remove();
    // The run's mixed sound goes with it, however the run ended; the movie is the caller's.
    mixedSound.reset();
    QFile::remove(strTempM4AAudioFullPath());
    audioBuffer.clear();
    videoFrameCounter = 0;
    appended = 0;
    audioInputFinished = false;
    writingEnded = false;
    requestAudioThreadFinish = false;
    totalDuration = 0.0;
    songs.reset();
    for (std::atomic<bool>* flag : {&cancelRequest, &videoReadFinished, &videoWriteFinished, &audioFinished,
                                    &videoBlockRunning, &audioBlockRunning})
        *flag = false;
    std::lock_guard lock(resultMutex);
    result.clear();
    pendingFailure.clear();
    written.reset();
}

std::optional<platform::FileIdentity> EncoderController::writtenMovie() const {
    std::lock_guard lock(resultMutex);
    return written;
}
