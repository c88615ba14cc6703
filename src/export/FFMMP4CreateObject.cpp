#include "export/FFMMP4CreateObject.h"

#include "export/EncoderController.h"
#include "export/EncodingProgressSteps.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/MediaAsset.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>

FFMMP4CreateObject::FFMMP4CreateObject(FramePumpHost<FFMMP4CreateObject>* pumpHost)
    : host(pumpHost), mixStep(&MixedAudioExport::exportProjectMix) {}

FFMMP4CreateObject::~FFMMP4CreateObject() {
    setBCancelRequest(true);
    terminateFFmpeg(true);
    joinDriver();
}

QVariantMap FFMMP4CreateObject::dictEncodingProgressStep() {
    return EncodingProgressSteps::ffmpegMP4Stages();
}

QStringList FFMMP4CreateObject::ffmpegArguments(const QSizeF& size, const QString& videoFIFO,
                                                const QString& m4aPath, const QString& outputPath) {
    QStringList arguments = rawFrameInputArguments(size, videoFIFO, m4aPath);
    // The native AAC encoder: every ffmpeg has it, unlike the encoder that was once named here. 4:2:0
    // pictures, because from BGRA input the encoder would otherwise pick 4:4:4, which most players refuse.
    arguments << QStringLiteral("-vcodec libx264 -pix_fmt yuv420p -acodec aac -ac 2 -ab 128k -f mp4")
                     .split(QLatin1Char(' '));
    arguments << outputPath;
    return arguments;
}

bool FFMMP4CreateObject::cancelled() const {
    if (bCancelRequest())
        return true;
    const SlideshowProjectRef owner = cancelSource();
    return owner && owner->bExportProgressCancelButtonClicked();
}

SlideshowProjectRef FFMMP4CreateObject::cancelSource() const {
    const std::lock_guard lock(projectMutex);
    return project.lock();
}

bool FFMMP4CreateObject::shouldStopPump() const {
    return cancelled() || bFFMMEncodeFinished();
}

void FFMMP4CreateObject::framePumpWrote(quint64 frames) {
    const std::lock_guard lock(stateMutex);
    pumpFrames = frames;
}

void FFMMP4CreateObject::framePumpFailed(const QString& message) {
    const std::lock_guard lock(stateMutex);
    if (pumpFailure.isEmpty())
        pumpFailure = message.isEmpty() ? tr_("A frame of the slideshow could not be written.") : message;
}

// ---- the driver, on its own thread

void FFMMP4CreateObject::startEncodeMovieThreadProc(const QVariantMap& params) {
    setStrOutputFullPath(params.value("strOutputFullPath").toString());
    setBFFMMEncodeFinished(false);
    const SlideshowProjectRef owner = SlideshowProject::currentMainProject();
    {
        const std::lock_guard lock(projectMutex);
        project = owner;
    }
    {
        const std::lock_guard lock(stateMutex);
        pumpFailure.clear();
        pumpFrames.reset();
        written.reset();
    }
    Outcome outcome = encode(owner);
    releaseMixedSound();
    removePipes();
    deleteTempFiles();
    outcome = finish(outcome);
    if (endHandler)
        endHandler(outcome);
}

FFMMP4CreateObject::Outcome FFMMP4CreateObject::encode(const SlideshowProjectRef& owner) {
    if (!owner)
        return {Outcome::End::Failed, tr_("No project is open.")};
    if (strOutputFullPath().isEmpty())
        return {Outcome::End::Failed, tr_("The movie has no place to be written.")};
    if (!host)
        return {Outcome::End::Failed, tr_("Nothing renders the frames of the movie.")};
    // Checked before anything is drawn: the movie could never take that name.
    if (const QFileInfo at(strOutputFullPath()); at.isDir() && !at.isSymLink())
        return {Outcome::End::Failed,
                tr_("Cannot create \"%1\": a folder is in the way").arg(strOutputFullPath())};
    Outcome outcome = mixSound(owner);
    if (outcome.end != Outcome::End::Completed)
        return outcome;
    outcome = makePipes();
    if (outcome.end != Outcome::End::Completed)
        return outcome;
    QString error;
    const QString movie = preparePartialOutput(&error);
    if (movie.isEmpty())
        return {Outcome::End::Failed, error};
    return runPumpAndFFmpeg(movie);
}

FFMMP4CreateObject::Outcome FFMMP4CreateObject::mixSound(const SlideshowProjectRef& owner) {
    const QVariantMap baseinfo =
        EncodingProgressSteps::stage(dictEncodingProgressStep(), EncodingProgressSteps::kBackgroundMusic());
    // The progress posts name the creator, as the movie encoder's name the encoder.
    const QVariant poster = QVariant::fromValue(static_cast<void*>(this));
    const MixedAudioExport::Result mixed = mixStep(
        owner, [this] { return cancelled(); }, MixedAudioExport::progressNotifier(poster, baseinfo));
    owner->setAudioMixer(nullptr);
    if (cancelled() || mixed.outcome == MixedAudioExport::Outcome::Cancelled)
        return {Outcome::End::Cancelled, {}};
    // Without its sound ffmpeg could only fail later, after the frames had been drawn for nothing.
    if (!mixed.completed())
        return {Outcome::End::Failed,
                mixed.error.isEmpty() ? tr_("The background music could not be created.") : mixed.error};
    if (QString error; !holdMixedSound(mixed.written, &error))
        return {Outcome::End::Failed,
                tr_("The background music could not be created.") + QLatin1Char('\n') + error};
    return {Outcome::End::Completed, {}};
}

FFMMP4CreateObject::Outcome FFMMP4CreateObject::makePipes() {
    QString error;
    if (!createPipes(&error))
        return {Outcome::End::Failed, error};
    return {Outcome::End::Completed, {}};
}

FFMMP4CreateObject::Outcome FFMMP4CreateObject::runPumpAndFFmpeg(const QString& movie) {
    const FramePumpParam<FFMMP4CreateObject> pipes{audioPipe.reachablePath(), videoPipe.reachablePath(),
                                                   this};
    runPumpBesideFFmpeg([this, pipes] { host->runFramePump(pipes); },
                        [this, pipes, movie] {
                            return ffmpegArguments(SlideshowProject::sizeVideoOutput(), pipes.strVideoFIFO,
                                                   mixedSoundPath(), movie);
                        });
    return verdict(movie);
}

void FFMMP4CreateObject::waitForFFmpeg() {
    bool terminated = false;
    int pollsSinceTerminate = 0;
    std::unique_lock lock(stateMutex);
    while (!bFFMMEncodeFinished()) {
        stateChanged.wait_for(lock, pollInterval);
        if (bFFMMEncodeFinished())
            break;
        lock.unlock();
        if (pumpEnded)
            releaseWaitingReader();
        if (cancelled()) {
            if (!terminated)
                terminateFFmpeg();
            else if (++pollsSinceTerminate == pollsBeforeKill)
                terminateFFmpeg(true); // it did not stop when asked
            terminated = true;
        }
        lock.lock();
    }
}

FFMMP4CreateObject::Outcome FFMMP4CreateObject::verdict(const QString& movie) {
    const std::lock_guard lock(stateMutex);
    if (cancelled() || ffmpegResult.cancelled)
        return {Outcome::End::Cancelled, {}};
    if (!ffmpegResult.succeeded)
        return {Outcome::End::Failed, ffmpegResult.error};
    if (!pumpFailure.isEmpty())
        return {Outcome::End::Failed, pumpFailure};
    const QFileInfo written(movie);
    if (!written.isFile() || written.size() == 0)
        return {Outcome::End::Failed, tr_("ffmpeg ended without writing the movie.")};
    return checkMovie(movie, pumpFrames);
}

// What ffmpeg wrote, read back: an exit status of 0 is no proof of a movie.
FFMMP4CreateObject::Outcome FFMMP4CreateObject::checkMovie(const QString& path,
                                                           std::optional<quint64> frames) const {
    using platform::media::MediaAsset;
    const MediaAsset movie = MediaAsset::open(path, false);
    const bool sound = MediaAsset::open(mixedSoundPath(), false).hasAudio();
    QString problem;
    if (!movie.isValid() || !movie.hasVideo())
        problem = tr_("it holds no pictures that can be read.");
    else if (frames && std::abs(movie.videoFrameCount() - qint64(*frames)) > 1)
        problem = tr_("it holds %1 pictures instead of %2.").arg(movie.videoFrameCount()).arg(*frames);
    else if (sound && !movie.hasAudio())
        problem = tr_("its sound is missing.");
    if (problem.isEmpty())
        return {Outcome::End::Completed, {}};
    return {Outcome::End::Failed,
            tr_("ffmpeg reported success, but the movie it wrote is not usable: %1").arg(problem)};
}

std::optional<platform::FileIdentity> FFMMP4CreateObject::writtenMovie() const {
    const std::lock_guard lock(stateMutex);
    return written;
}

// The movie takes its name only once checked; an earlier movie at the name goes however the run ends.
FFMMP4CreateObject::Outcome FFMMP4CreateObject::finish(Outcome outcome) {
    auto& center = platform::NotificationCenter::defaultCenter();
    if (outcome.end == Outcome::End::Completed) {
        platform::PartialLoss loss = platform::PartialLoss::None;
        const std::optional<platform::FileIdentity> movie = placePartialOutput(&outcome.error, &loss);
        outcome.error = EncoderController::movieNotMadeText(cancelSource().get(), loss, outcome.error);
        {
            const std::lock_guard lock(stateMutex);
            written = movie;
        }
        if (movie) {
            center.postOnMainThread(EncoderController::movieFinishedNotificationName());
            return outcome;
        }
        outcome.end = Outcome::End::Failed;
    }
    removePartialOutput();
    QFile::remove(strOutputFullPath());
    if (outcome.end == Outcome::End::Failed)
        center.postOnMainThread(EncoderController::movieFailedNotificationName(), QVariant(),
                                {{"result", false}, {"desc", outcome.error}});
    return outcome;
}
