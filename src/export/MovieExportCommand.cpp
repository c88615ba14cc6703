#include "export/MovieExportCommand.h"

#include "export/EncodingProgressSteps.h"
#include "export/ExportFramePump.h"
#include "export/MixedAudioExport.h"
#include "export/PoolFrameRenderer.h"
#include "export/WriterFrameRenderer.h"
#include "model/MainWindowServices.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/ThreadJoin.h"

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kCancelPoll{100};

bool allEnded(const EncoderController& encoder) {
    return encoder.bVideoReadThreadFinished() && encoder.bVideoWriteThreadFinished() &&
           encoder.bAudioThreadFinished();
}

} // namespace

MovieExportCommand::OutputSettings MovieExportCommand::outputSettingsForVideoSize(int videoSize) {
    switch (videoSize) {
    case 3:
        return {QSizeF(1920, 1080), 20'800'000};
    case 1:
        return {QSizeF(960, 540), 5'600'000};
    case 0:
        return {QSizeF(640, 360), 3'800'000};
    default:
        return {QSizeF(1280, 720), 10'800'000};
    }
}

MovieExportCommand::MovieExportCommand(ExportDialogs& dialogs, RendererFactory rendererFactory)
    : dialogs(dialogs), rendererFactory(std::move(rendererFactory)) {
    auto& center = platform::NotificationCenter::defaultCenter();
    finishedObserver = {center, center.addObserver(EncoderController::movieFinishedNotificationName(),
                                                   [this](const platform::Notification& n) {
                                                       notifyEncodeMovieFinished(n);
                                                   })};
    failedObserver = {
        center, center.addObserver(EncoderController::movieFailedNotificationName(),
                                   [this](const platform::Notification& n) { notifyEncodeMovieFailed(n); })};
    progressObserver = {center, center.addObserver(MixedAudioExport::progressNotificationName(),
                                                   [this](const platform::Notification& n) {
                                                       notifyEncodeMpegiiProgress(n);
                                                   })};
}

MovieExportCommand::~MovieExportCommand() {
    finishedObserver.reset();
    failedObserver.reset();
    progressObserver.reset();
    if (encoder)
        encoder->setBCancelRequest(true);
    joinCancelWaiter();
    heldEncoder = nullptr;
    encoder.reset(); // waits for the pump, which calls back into this object
}

// ---- the command

MovieExportCommand::OutputSettings MovieExportCommand::prepareProjectForExport(SlideshowProject& project) {
    const OutputSettings output =
        outputSettingsForVideoSize(project.shareOptionsDict().value("VideoSize").toInt());
    SlideshowProject::setULEncodeVideoBitrate(output.bitrate);
    SlideshowProject::setSizeVideoOutput(output.size);
    preparePlaybackForExport(project);
    return output;
}

void MovieExportCommand::preparePlaybackForExport(SlideshowProject& project) {
    // The export's play itself does not repeat and keeps its clips to its own clock: the project's repeat
    // stays the user's, so that a save meanwhile (the autosave) writes it as the user left it.
    SlideshowProject::setULFrameRate(30);
    project.setNCurrentStatus(0);
}

bool MovieExportCommand::startEncodingMovieFile() {
    if (encoder)
        return false;
    const SlideshowProjectRef project = SlideshowProject::mainProject();
    if (!project || project->slideCount() < 3) {
        showFailure(tr_("Please add at least 3 photos to get started!"));
        return false;
    }
    if (const QString missing = project->missingSlideFilesMessage(); !missing.isEmpty()) {
        showFailure(missing);
        return false;
    }
    if (!EncoderController::deviceSupportsVideoEncoding()) {
        showFailure(tr_("Encoding action does not be supported!"));
        return false;
    }
    const OutputSettings output = prepareProjectForExport(*project);

    joinCancelWaiter();
    auto created = std::make_shared<EncoderController>();
    created->setSlideshowMainObject(this);
    created->setNEncodeVideoBitrate(SlideshowProject::ulEncodeVideoBitrate());
    created->setStrVideoOutputFullPath(project->strEncodingVideoFilePath(output.size));
    if (encoderSetup)
        encoderSetup(*created);
    encoder = created;
    heldEncoder = created.get();
    if (created->encodeVideo_2_FIFO(this))
        return true;

    const QVariantMap result = created->dictEncodeResult();
    heldEncoder = nullptr;
    encoder.reset();
    if (!result.value("result").toBool() && !result.value("desc").toString().isEmpty())
        showFailure(result.value("desc").toString());
    return false;
}

bool MovieExportCommand::encodeMovieFile() {
    const SlideshowProjectRef project = SlideshowProject::mainProject();
    if (encoder || !project || project->slideCount() < 3 || !EncoderController::deviceSupportsVideoEncoding())
        return false;
    const QSizeF size(1920, 1080); // whatever the share options say; the bit rate stays the class's
    SlideshowProject::setSizeVideoOutput(size);
    preparePlaybackForExport(*project);

    joinCancelWaiter();
    auto created = std::make_shared<EncoderController>();
    created->setSlideshowMainObject(this);
    created->setNEncodeVideoBitrate(SlideshowProject::ulEncodeVideoBitrate());
    created->setStrVideoOutputFullPath(project->strEncodingVideoFilePath(size));
    if (encoderSetup)
        encoderSetup(*created);
    encoder = created;
    heldEncoder = created.get();
    if (created->encodeVideo_2(this))
        return true;
    heldEncoder = nullptr;
    encoder.reset();
    return false;
}

void MovieExportCommand::showFailure(const QString& message) {
    dialogs.showAlertSheet(QStringLiteral("ERROR"), message, tr_("OK"));
}

// ---- the frame pump, on a thread of the encoder's

void MovieExportCommand::runFramePump(const FramePumpParam<EncoderController>& param) {
    switch (param.frames) {
    case FramePumpParam<EncoderController>::Frames::Pipe:
    case FramePumpParam<EncoderController>::Frames::YUVPipe: // the encoder's pipe carries BGRA only
        readRGBAFIFOThread(param);
        break;
    case FramePumpParam<EncoderController>::Frames::Writer:
        readRGBAThreadNew(param);
        break;
    case FramePumpParam<EncoderController>::Frames::RGBAPool:
        readRGBAThread(param);
        break;
    case FramePumpParam<EncoderController>::Frames::YUVPool:
        readYUVThread(param);
        break;
    }
}

void MovieExportCommand::readRGBAThread(const FramePumpParam<EncoderController>& param) {
    runPoolPump(param, false);
}

void MovieExportCommand::readYUVThread(const FramePumpParam<EncoderController>& param) {
    runPoolPump(param, true);
}

void MovieExportCommand::runPoolPump(const FramePumpParam<EncoderController>& param, bool yuv) {
    EncoderController& owner = *param.creator;
    const auto writerEnded = [&owner] {
        return owner.bVideoWriteThreadFinished() && owner.bAudioThreadFinished();
    };
    FramePump::Options options;
    options.yuvFrames = yuv;
    options.stopBeforeWrite = writerEnded;
    EncoderBufferManager* pool = owner.encodeBufferManager();
    const RendererFactory poolRenderers = [this, pool, writerEnded]() -> std::unique_ptr<FrameRenderer> {
        std::unique_ptr<FrameRenderer> renderer = rendererFactory && pool ? rendererFactory() : nullptr;
        if (!renderer)
            return nullptr;
        return std::make_unique<PoolFrameRenderer>(std::move(renderer), *pool, writerEnded);
    };
    ExportFramePump::run(
        poolRenderers, options, {{"start", 0.0}, {"step", 1.0}},
        [this](double value) { reportProgress(value); },
        [&owner, writerEnded](const QString& error) {
            if (!writerEnded()) // a pump let go by the writer's end has not failed
                owner.framePumpFailed(error);
        });
    owner.setBVideoReadThreadFinished(true);
}

void MovieExportCommand::readRGBAThreadNew(const FramePumpParam<EncoderController>& param) {
    EncoderController& owner = *param.creator;
    const auto writerEnded = [&owner] {
        return owner.bCancelRequest() || (owner.bVideoWriteThreadFinished() && owner.bAudioThreadFinished());
    };
    FramePump::Options options;
    options.stopBeforeWrite = writerEnded;
    const RendererFactory direct = [this, &owner]() -> std::unique_ptr<FrameRenderer> {
        std::unique_ptr<FrameRenderer> renderer = rendererFactory ? rendererFactory() : nullptr;
        if (!renderer)
            return nullptr;
        return std::make_unique<WriterFrameRenderer>(
            std::move(renderer), [&owner](const unsigned char* frame, qint64 size, QString* error) {
                return owner.writeRGBAFrame(frame, size, error);
            });
    };
    ExportFramePump::run(
        direct, options, {{"start", 0.0}, {"step", 1.0}}, [this](double value) { reportProgress(value); },
        [&owner](const QString& error) { owner.framePumpFailed(error); });
    owner.finishRGBInput();
    owner.setBVideoReadThreadFinished(true);
}

void MovieExportCommand::readRGBAFIFOThread(const FramePumpParam<EncoderController>& param) {
    EncoderController& owner = *param.creator;
    FramePump::Options options;
    options.pipePath = param.strVideoFIFO;
    // Once the writer side has ended (finished, failed or cancelled) nothing will use more frames.
    options.stopBeforeWrite = [&owner] {
        return owner.bVideoWriteThreadFinished() && owner.bAudioThreadFinished();
    };
    ExportFramePump::run(
        rendererFactory, options,
        EncodingProgressSteps::stage(EncodingProgressSteps::dvdMPEGIIStages(),
                                     EncodingProgressSteps::kDVDMPEGII()),
        [this](double value) { reportProgress(value); },
        [&owner](const QString& error) { owner.framePumpFailed(error); });
    owner.setBVideoReadThreadFinished(true);
}

void MovieExportCommand::reportProgress(double value) {
    const std::weak_ptr<int> guard = alive;
    platform::runOnMainThread([this, guard, value] {
        if (guard.lock())
            dialogs.updateExportProgress(value, EncodingProgressSteps::progressText(value));
    });
}

// ---- cancel

void MovieExportCommand::cancelEncoding() {
    const std::shared_ptr<EncoderController> running = encoder;
    if (!running || running->bCancelRequest())
        return;
    running->setBCancelRequest(true);
    joinCancelWaiter();
    const std::weak_ptr<int> guard = alive;
    // The wait holds the encoder only while it looks at it, so that the encoder is let go on the main
    // thread, by whoever drops it there.
    const std::weak_ptr<EncoderController> watched = running;
    cancelWaiter = std::thread([this, guard, watched] {
        const auto stillWaiting = [&] {
            const std::shared_ptr<EncoderController> encoder = watched.lock();
            return encoder && !allEnded(*encoder) && heldEncoder.load() == encoder.get();
        };
        while (stillWaiting())
            std::this_thread::sleep_for(kCancelPoll);
        platform::runOnMainThread([this, guard, watched] {
            if (guard.lock())
                finishCancel(watched.lock());
        });
    });
}

void MovieExportCommand::finishCancel(const std::shared_ptr<EncoderController>& cancelled) {
    if (!cancelled || encoder != cancelled)
        return; // the export ended otherwise meanwhile
    if (MainWindowServices* services = MainWindowServices::current())
        services->stop();
    heldEncoder = nullptr;
    encoder.reset();
}

void MovieExportCommand::joinCancelWaiter() {
    platform::joinUnlessSelf(cancelWaiter, "the export's cancel waiter");
}

// ---- the ends of an export

void MovieExportCommand::notifyEncodeMovieFinished(const platform::Notification& notification) {
    // The DVD creator posts the same name on its own thread; the progress window and what follows the
    // finish belong to the main thread.
    if (!platform::isMainThread()) {
        const std::weak_ptr<int> guard = alive;
        platform::runOnMainThread([this, guard, notification] {
            if (guard.lock())
                notifyEncodeMovieFinished(notification);
        });
        return;
    }
    if (!encoder && !(otherExportRunning && otherExportRunning()))
        return; // not a movie of ours: a DVD's passes or their menu
    // shareWhenMoiveDone
    const SlideshowProjectRef project = SlideshowProject::currentMainProject();
    if (project && project->strShareServceType() == QLatin1String("PhotoLibrary"))
        dialogs.closeExportProgress();
    platform::NotificationCenter::defaultCenter().post(createVideoFileEndNotificationName());
}

void MovieExportCommand::notifyEncodeMovieFailed(const platform::Notification& notification) {
    if (!encoder)
        return;
    dialogs.closeExportProgress();
    if (MainWindowServices* services = MainWindowServices::current())
        services->stop();
    heldEncoder = nullptr;
    encoder.reset();
    const QString desc = notification.userInfo.value("desc").toString();
    showFailure(platform::errorSentence(desc, tr_("The movie could not be written.")));
}

void MovieExportCommand::endEncoding() {
    heldEncoder = nullptr;
    encoder.reset();
}

void MovieExportCommand::notifyEncodeMpegiiProgress(const platform::Notification& notification) {
    const QVariantMap stage = notification.userInfo.value("baseinfo").toMap();
    const double value =
        EncodingProgressSteps::value(stage, notification.userInfo.value("progress").toDouble());
    reportProgress(value);
}
