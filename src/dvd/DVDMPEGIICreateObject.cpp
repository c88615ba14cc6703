#include "dvd/DVDMPEGIICreateObject.h"

#include "dvd/DVDFiles.h"
#include "dvd/DVDProjectSettings.h"
#include "export/DVDMenuAudioMixerObject.h"
#include "export/EncodingProgressSteps.h"
#include "export/NSAudioMixerObject.h"
#include "export/SoundFeed.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/media/SampleFormat.h"
#include "render/FramePipeWriter.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <vector>

namespace {

QString streamName(DVDMPEGIICreateObject::Pass pass) {
    return pass == DVDMPEGIICreateObject::Pass::Menu ? tr_("the menu stream") : tr_("the slideshow stream");
}

constexpr int kSoundChunkFrames = 2048;

const QString kYUVOutputPreset = QStringLiteral(
    "-vcodec mpeg2video -pix_fmt yuv420p -b:v 2500k -bt 300k -r 30000/1001 -me_method epzs -threads 4 -g 15 "
    "-acodec mp2 -ac 2 -ar 48000 -b:a 192k -async 1 -f vob");

// The title of the DVD menu's song at `path`, else the file's name.
QString menuSongTitle(const SlideshowProjectManager& manager, const QString& contents, const QString& path) {
    for (const MusicItemRef& song : manager.dvdMenuBackgroundMusicArray())
        if (song && song->strFilePathIn(contents) == path)
            return song->strTitle();
    return QFileInfo(path).fileName();
}

} // namespace

DVDMPEGIICreateObject::DVDMPEGIICreateObject(FramePumpHost<DVDMPEGIICreateObject>* pumpHost,
                                             platform::NotificationCenter& centre)
    : host(pumpHost), center(centre) {}

DVDMPEGIICreateObject::~DVDMPEGIICreateObject() {
    cancel();
    joinDriver(); // it runs this class's code
}

// ---- names and command line

QString DVDMPEGIICreateObject::strTempM2VVideoFullPath() {
    return largeTemporaryFile(QStringLiteral("_temp_video.m2v"));
}

void DVDMPEGIICreateObject::deleteTempFiles() {
    for (const QString& file : {strTempM4AAudioFullPath(), strTempM2VVideoFullPath()})
        if (!file.isEmpty())
            QFile::remove(file);
    FFMMCreateObjectBase::deleteTempFiles(); // the pipes
}

QVariantMap DVDMPEGIICreateObject::dictEncodingProgressStep() {
    return EncodingProgressSteps::dvdMPEGIIStages();
}

QString DVDMPEGIICreateObject::presetString(bool tvPal, bool wide) {
    return QStringLiteral("-target %1 -acodec mp2 -ac 2 -ab 224k -aspect %2")
        .arg(tvPal ? QStringLiteral("pal-dvd") : QStringLiteral("ntsc-dvd"),
             wide ? QStringLiteral("16:9") : QStringLiteral("4:3"));
}

QStringList DVDMPEGIICreateObject::ffmpegArguments(const QSizeF& size, const QString& videoFIFO,
                                                   const QString& m4aPath, bool tvPal, bool wide,
                                                   const QString& output) {
    QStringList arguments = rawFrameInputArguments(size, videoFIFO, m4aPath);
    if (!wide) {
        // The 16:9 frames keep their shape on a 4:3 disc in a letterbox; the menu's buttons follow.
        const QRect area = DVDProjectSettings::frameAreaInDVDPicture(tvPal, wide);
        const int height = tvPal ? 576 : 480;
        arguments << QStringLiteral("-vf")
                  << QStringLiteral("scale=%1:%2,pad=%1:%3:0:%4")
                         .arg(area.width())
                         .arg(area.height())
                         .arg(height)
                         .arg(area.y());
    }
    arguments << presetString(tvPal, wide).split(QLatin1Char(' '));
    arguments << output;
    return arguments;
}

QStringList DVDMPEGIICreateObject::ffmpegYUVArguments(const QSizeF& size, const QString& videoFIFO,
                                                      const QString& audioFIFO, const QString& output) {
    QStringList arguments{"-y", "-vcodec", "rawvideo", "-pix_fmt", "yuv420p", "-f", "rawvideo"};
    arguments << "-s" << frameSizeArgument(size) << "-r"
              << "30"
              << "-i" << videoFIFO;
    arguments << "-acodec"
              << "pcm_s16le"
              << "-ar"
              << "48000"
              << "-ac"
              << "2"
              << "-f"
              << "s16le"
              << "-i" << audioFIFO;
    arguments << kYUVOutputPreset.split(QLatin1Char(' '));
    arguments << output;
    return arguments;
}

// ---- settings and state

void DVDMPEGIICreateObject::setCompletionHandler(std::function<void(End, const DVDStepError&)> handler) {
    completionHandler = std::move(handler);
}

void DVDMPEGIICreateObject::setAudioMixStep(MixStep step) {
    mixStep = std::move(step);
}

DVDMPEGIICreateObject::End DVDMPEGIICreateObject::waitUntilFinished() {
    std::unique_lock lock(stateMutex);
    stateChanged.wait(lock, [this] { return !driverRunning; });
    return ended;
}

DVDMPEGIICreateObject::End DVDMPEGIICreateObject::end() const {
    const std::lock_guard lock(stateMutex);
    return driverRunning ? End::Running : ended;
}

DVDStepError DVDMPEGIICreateObject::error() const {
    const std::lock_guard lock(stateMutex);
    return failure;
}

bool DVDMPEGIICreateObject::cancelled() const {
    if (bCancelRequest())
        return true;
    const std::lock_guard lock(projectMutex);
    return project && project->bExportProgressCancelButtonClicked();
}

void DVDMPEGIICreateObject::cancelCreateTempM4A() {
    setBCancelRequest(true); // the export's cancel test asks for it
}

void DVDMPEGIICreateObject::cancel() {
    setBCancelRequest(true);
    // A run that starts after this is stopped at once; the driver kills it if it lingers.
    terminateFFmpeg();
    stateChanged.notify_all();
}

bool DVDMPEGIICreateObject::shouldStopPump() const {
    return cancelled() || bFFMMEncodeFinished();
}

void DVDMPEGIICreateObject::framePumpEnded(bool ok, const QString& message) {
    {
        const std::lock_guard lock(stateMutex);
        pumpReported = true;
        pumpOk = ok;
        if (!ok)
            pumpFailure = message.isEmpty() ? tr_("A frame of the DVD could not be written.") : message;
    }
    stateChanged.notify_all();
}

// ---- the drivers

bool DVDMPEGIICreateObject::startRunDVDMenuAndSlideshow(const QVariantMap& params) {
    return startDriver(Command::MenuAndSlideshow, params);
}

bool DVDMPEGIICreateObject::startRunDVDMenu(const QVariantMap& params) {
    return startDriver(Command::MenuOnly, params);
}

bool DVDMPEGIICreateObject::startRun(const QVariantMap& params) {
    return startDriver(Command::SlideshowOnly, params);
}

bool DVDMPEGIICreateObject::startRunYUV(const QVariantMap& params) {
    return startDriver(Command::SlideshowYUV, params);
}

// Only the main thread starts commands, so nothing changes the settings below between the look at the
// driver and its start.
bool DVDMPEGIICreateObject::startDriver(Command which, const QVariantMap& params) {
    if (isRunning())
        return false;
    {
        const std::lock_guard lock(stateMutex);
        command = which;
        driverRunning = true;
        ended = End::Running;
        failure = {};
    }
    needBothPasses = which == Command::MenuAndSlideshow;
    deleteTempFiles(); // the M2V file too, which the base does not know
    {
        const std::lock_guard lock(projectMutex);
        project = SlideshowProject::currentMainProject();
        pal = project && project->bTVSystemPAL();
        wide16_9 = project && project->bDVDVideoAspect16_9();
    }
    if (startEncodeMovie(params))
        return true;
    const std::lock_guard lock(stateMutex);
    driverRunning = false;
    return false;
}

void DVDMPEGIICreateObject::startEncodeMovieThreadProc(const QVariantMap& params) {
    Command which;
    {
        const std::lock_guard lock(stateMutex);
        which = command;
    }
    finish(runCommand(which, params));
}

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::runCommand(Command which, const QVariantMap& params) {
    const SlideshowProjectRef owner = [this] {
        const std::lock_guard lock(projectMutex);
        return project;
    }();
    if (!owner)
        return {End::Failed, {kStepFrames(), tr_("No project is open.")}};
    if (!host)
        return {End::Failed, {kStepFrames(), tr_("Nothing renders the frames of the DVD.")}};
    const QString output = params.value("strOutputFullPath").toString();
    switch (which) {
    case Command::MenuAndSlideshow: {
        const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
        if (manager && manager->bUseDVDMenu()) {
            const Outcome menu =
                runPass(Pass::Menu, params.value("strDVDMenuOutputFullPath").toString(), false);
            if (menu.end != End::Completed)
                return menu;
        }
        return runPass(Pass::Slideshow, output, false);
    }
    case Command::MenuOnly:
        return runPass(Pass::Menu, output, false);
    case Command::SlideshowOnly:
        return runPass(Pass::Slideshow, output, true);
    case Command::SlideshowYUV:
        return runPass(Pass::Slideshow, output, true, true);
    }
    return {};
}

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::runPass(Pass pass, const QString& output,
                                                              bool keepSlideshowMixer, bool planar) {
    if (output.isEmpty())
        return {End::Failed, {kStepFFmpeg(), tr_("There is no place to write %1.").arg(streamName(pass))}};
    setStrOutputFullPath(output);
    setBFFMMEncodeFinished(false);
    Outcome outcome = planar ? Outcome{} : mixSound(pass, keepSlideshowMixer);
    if (outcome.end == End::Completed)
        outcome = makePipes();
    if (QString error; outcome.end == End::Completed && !prepareStream(output, &error))
        outcome = {End::Failed, {kStepFFmpeg(), error}};
    if (outcome.end == End::Completed)
        outcome = runPumpAndFFmpeg(pass, planar);
    releaseMixedSound();
    removePipes();
    deleteTempFiles();
    if (outcome.end != End::Completed)
        dropStream(output); // a stream cut short must not pass for a whole one
    return outcome;
}

// ffmpeg opens its output by name and follows a link there: it is named a fresh file of ours through the
// descriptor kept here, which reaches that file whatever has since taken its name, and so do the tools that
// read the stream afterwards.
bool DVDMPEGIICreateObject::prepareStream(const QString& output, QString* error) {
    dropStream(output);
    platform::UniqueFd fd = platform::openFreshFile(output, error, 0644);
    if (!fd)
        return false;
    const QString through = platform::pathReaching(fd.get(), output);
    {
        const std::lock_guard lock(streamMutex);
        streams[output] = std::move(fd);
    }
    const std::lock_guard lock(stateMutex);
    writingTo = through;
    return true;
}

void DVDMPEGIICreateObject::dropStream(const QString& output) {
    platform::UniqueFd fd;
    {
        const std::lock_guard lock(streamMutex);
        const auto kept = streams.find(output);
        if (kept == streams.end())
            return;
        fd = std::move(kept->second);
        streams.erase(kept);
    }
    platform::removePartialFile(fd.get(), output);
}

QString DVDMPEGIICreateObject::streamFile(const QString& output) const {
    const std::lock_guard lock(streamMutex);
    const auto kept = streams.find(output);
    return kept == streams.end() ? QString() : platform::pathReaching(kept->second.get(), output);
}

void DVDMPEGIICreateObject::releaseStreams() {
    const std::lock_guard lock(streamMutex);
    streams.clear();
}

// Whether ffmpeg wrote something into the stream's file, and the stream's name still leads to that file.
QString DVDMPEGIICreateObject::streamProblem(const QString& output, const QString& stream) const {
    std::optional<platform::FileIdentity> made;
    {
        const std::lock_guard lock(streamMutex);
        if (const auto kept = streams.find(output); kept != streams.end())
            made = platform::FileIdentity::ofDescriptor(kept->second.get());
    }
    if (!made || made->size == 0)
        return tr_("ffmpeg ended without writing %1.").arg(stream);
    const std::optional<platform::FileIdentity> found = platform::FileIdentity::ofPath(output);
    if (!found || !found->sameFile(*made))
        return tr_("Another program removed or replaced %1 at \"%2\" while it was written.")
            .arg(stream, output);
    return QString();
}

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::mixSound(Pass pass, bool keepSlideshowMixer) {
    const QVariantMap baseinfo = dictEncodingProgressStep().value("tempbackgroundmusic").toMap();
    // Posted with the creator as their object, as the other encoders post theirs.
    const MixedAudioExport::ProgressHandler progress = [this, baseinfo](float value) {
        center.post(progressNotificationName(), QVariant::fromValue(static_cast<void*>(this)),
                    {{"progress", value}, {"baseinfo", baseinfo}});
    };
    const MixedAudioExport::CancelCheck check = [this] { return cancelled(); };
    const MixedAudioExport::Result mixed =
        mixStep ? mixStep(pass, check, progress) : defaultMix(pass, check, progress, keepSlideshowMixer);
    if (cancelled() || mixed.outcome == MixedAudioExport::Outcome::Cancelled)
        return {End::Cancelled, {}};
    // Without its sound ffmpeg could only fail, after every frame had been drawn for nothing.
    if (!mixed.completed())
        return {End::Failed,
                {kStepBackgroundMusic(),
                 mixed.error.isEmpty() ? tr_("The sound of %1 could not be mixed.").arg(streamName(pass))
                                       : mixed.error}};
    if (QString error; !holdMixedSound(mixed.written, &error))
        return {End::Failed, {kStepBackgroundMusic(), error}};
    return {End::Completed, {}};
}

MixedAudioExport::Result DVDMPEGIICreateObject::defaultMix(Pass pass,
                                                           const MixedAudioExport::CancelCheck& check,
                                                           const MixedAudioExport::ProgressHandler& progress,
                                                           bool keepSlideshowMixer) {
    const SlideshowProjectRef owner = [this] {
        const std::lock_guard lock(projectMutex);
        return project;
    }();
    if (pass == Pass::Slideshow) {
        const MixedAudioExport::Result result = MixedAudioExport::exportProjectMix(owner, check, progress);
        if (!keepSlideshowMixer)
            owner->setAudioMixer(nullptr);
        return result;
    }
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    if (!manager)
        return {MixedAudioExport::Outcome::Failed, tr_("There are no DVD-menu settings.")};
    QStringList songs;
    const QString contents = owner->strMacProjectBundleContentsPath();
    for (const MusicItemRef& song : manager->dvdMenuBackgroundMusicArray())
        if (song)
            songs << song->strFilePathIn(contents);
    manager->setDvdMenuAudioMixer(nullptr);
    auto mixer = std::make_shared<DVDMenuAudioMixerObject>(songs, manager->dvdMenuSlideTotalDuration());
    manager->setDvdMenuAudioMixer(mixer);
    mixer->mixProjectAudio();
    const QStringList lost = mixer->unreadableFiles();
    MixedAudioExport::Result result =
        lost.isEmpty() ? MixedAudioExport::exportToTemporaryFile(mixer->composition(), mixer->audioMix(),
                                                                 check, progress)
                       : MixedAudioExport::Result{MixedAudioExport::Outcome::Failed, QString()};
    manager->setDvdMenuAudioMixer(nullptr);
    // A menu song that cannot be read fails the run naming it, as the slideshow's songs do.
    if (const QString unreadable = lost.isEmpty() ? result.unreadableFile : lost.first();
        !unreadable.isEmpty())
        result.error = SlideshowProject::songFileLostMessage(menuSongTitle(*manager, contents, unreadable),
                                                             result.spoiltSeconds);
    return result;
}

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::makePipes() {
    QString message;
    if (!createPipes(&message))
        return {End::Failed, {kStepFFmpeg(), tr_("The pipes to ffmpeg could not be made: %1").arg(message)}};
    return {End::Completed, {}};
}

// ---- one pump and one ffmpeg side by side

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::runPumpAndFFmpeg(Pass pass, bool planar) {
    FramePumpParam<DVDMPEGIICreateObject> pipes{audioPipe.reachablePath(), videoPipe.reachablePath(), this,
                                                pass == Pass::Menu};
    if (planar)
        pipes.frames = FramePumpParam<DVDMPEGIICreateObject>::Frames::YUVPipe;
    {
        const std::lock_guard lock(stateMutex);
        pumpReported = false;
        pumpOk = true;
        pumpFailure.clear();
        soundFailure.clear();
        stoppedForSound = false;
    }
    const auto pump = [this, pipes, planar] {
        std::thread feeder;
        if (planar)
            feeder = std::thread([this, pipes] { startReadAudioProc(pipes); });
        host->runFramePump(pipes);
        bool reported;
        {
            const std::lock_guard lock(stateMutex);
            reported = pumpReported;
        }
        if (!reported)
            framePumpEnded(false, tr_("The frame pump ended without saying how."));
        platform::joinUnlessSelf(feeder, "the DVD sound feeder");
    };
    runPumpBesideRunner(pump, [this, pipes, planar] {
        if (planar)
            return startFFMMEncodeProcYUV(pipes);
        return runFFmpeg(ffmpegArguments(SlideshowProject::sizeVideoOutput(), pipes.strVideoFIFO,
                                         mixedSoundPath(), pal, wide16_9, streamWrittenThrough()));
    });
    return verdict(pass);
}

// ---- the planar variant's sound

FFMMCreateObjectBase::FFmpegResult
DVDMPEGIICreateObject::startFFMMEncodeProcYUV(const FramePumpParam<DVDMPEGIICreateObject>& pipes) {
    return runFFmpeg(ffmpegYUVArguments(SlideshowProject::sizeVideoOutput(), pipes.strVideoFIFO,
                                        pipes.strAudioFIFO, streamWrittenThrough()));
}

QString DVDMPEGIICreateObject::streamWrittenThrough() const {
    const std::lock_guard lock(stateMutex);
    return writingTo;
}

void DVDMPEGIICreateObject::startReadAudioProc(const FramePumpParam<DVDMPEGIICreateObject>& pipes) {
    songs.reset();
    const SlideshowProjectRef owner = soundProject();
    FramePipeWriter out;
    out.setPath(pipes.strAudioFIFO);
    out.setCancelled([this] { return shouldStopPump(); });
    out.setOpenTimeout(0); // ffmpeg opens the sound after the pictures have begun
    QString failure;
    if (!owner || !initAudioVar(0)) {
        failure = tr_("The sound of the slideshow could not be read.");
    } else {
        // The pictures' length: ffmpeg ends only once both of its streams have.
        const double pictures = double(owner->totalFrameCount()) / 30.0;
        SoundFeed::Settings settings;
        settings.sampleRate = kPCMSampleRate;
        settings.totalSeconds = owner->bIsMusicSideshow() && owner->doesSyncMusicAndSlideshowDuration()
                                    ? owner->musicTotalDuration()
                                    : owner->slideshowTotalDuration();
        settings.lengthFrames = std::llround(pictures * kPCMSampleRate);
        SoundFeed feed(settings, SoundFeed::fromReader(
                                     audioReader, [this] { switchMusicToNextSong_2(); },
                                     [this] { return songs.songsUsedUp(soundProject().get()); }));
        std::vector<float> samples(std::size_t(kSoundChunkFrames) * SoundSource::kChannels);
        std::vector<int16_t> pcm(samples.size());
        while (!shouldStopPump()) {
            const int frames = feed.read(samples.data(), kSoundChunkFrames);
            if (frames < 0)
                failure = audioReader && !audioReader->unreadableFile().isEmpty()
                              ? owner->soundFileLostMessage(audioReader->unreadableFile(),
                                                            audioReader->unreadableFileSpoilt())
                              : SoundSource::mixedSoundFailure();
            if (frames <= 0)
                break;
            const std::size_t count = std::size_t(frames) * SoundSource::kChannels;
            platform::media::toInt16Samples(samples.data(), count, pcm.data());
            if (!out.isOpen() && out.open())
                audioWriteFD = out.descriptor();
            if (!out.isOpen() || !out.writeFrame(pcm.data(), count * sizeof(int16_t))) {
                failure = out.errorString();
                break;
            }
        }
    }
    // A sound with nothing in it still opens the pipe, or ffmpeg would wait for it for ever.
    if (!out.isOpen() && !shouldStopPump())
        out.open();
    out.close(); // ffmpeg sees the end of the sound
    audioWriteFD = -1;
    audioReader.reset();
    soundFeederEnded(shouldStopPump() ? QString() : failure); // a stopped pass tells its own end
}

void DVDMPEGIICreateObject::soundFeederEnded(const QString& message) {
    {
        const std::lock_guard lock(stateMutex);
        soundFailure = message;
    }
    stateChanged.notify_all();
}

SlideshowProjectRef DVDMPEGIICreateObject::soundProject() const {
    {
        const std::lock_guard lock(projectMutex);
        if (project)
            return project;
    }
    return SlideshowProject::currentMainProject();
}

bool DVDMPEGIICreateObject::initAudioVar(int /*songIndex*/) {
    audioReader.reset();
    const SlideshowProjectRef owner = soundProject();
    if (!owner)
        return false;
    // Also without songs: the mix holds the slides' sounds and the silence.
    const auto mixer = NSAudioMixerObject::installNewMixer(owner);
    mixer->mixProjectAudio();
    const QStringList lost = mixer->unreadableFiles();
    audioReader = lost.isEmpty()
                      ? SoundSource::openMix(mixer->composition(), mixer->audioMix(), kPCMSampleRate)
                      : SoundSource::unreadableMix(lost.first());
    return true;
}

bool DVDMPEGIICreateObject::initAudioVar_old(int songIndex) {
    audioReader.reset();
    const SlideshowProjectRef owner = soundProject();
    if (owner)
        audioReader = SoundSource::openSong(*owner, songIndex, kPCMSampleRate, nullptr);
    return audioReader != nullptr;
}

void DVDMPEGIICreateObject::switchMusicToNextSong_2() {
    audioReader.reset();
    const SlideshowProjectRef owner = soundProject();
    songs.advance(owner ? int(owner->musicArray().size()) : 0);
    initAudioVar(songs.nSongIndex());
}

void DVDMPEGIICreateObject::deInitVar() {
    FFMMCreateObjectBase::deInitVar();
    songs.reset();
    audioReader.reset();
}

// A pump that failed may have failed because ffmpeg went away first, which only ffmpeg's own end tells, and
// ffmpeg may have exited and not yet be reaped when the pump's failure is seen: ffmpeg is never stopped for
// the pump, but one still waiting for the pipe to open is let through to the end of the stream, so that it
// ends on its own. A sound feeder that failed may leave ffmpeg waiting for frames: ffmpeg gets a few looks
// to end by itself; if it does not, it is stopped, and the failure is the feeder's.
void DVDMPEGIICreateObject::waitForFFmpeg() {
    bool terminated = false;
    int pollsSinceTerminate = 0;
    int pollsSinceSoundFailed = 0;
    std::unique_lock lock(stateMutex);
    while (!bFFMMEncodeFinished()) {
        stateChanged.wait_for(lock, pollInterval, [this] { return bFFMMEncodeFinished(); });
        if (bFFMMEncodeFinished())
            break;
        if (!cancelled() && !soundFailure.isEmpty() && ++pollsSinceSoundFailed >= pollsBeforeKill)
            stoppedForSound = true;
        const bool stop = cancelled() || stoppedForSound;
        lock.unlock();
        if (!stop && pumpEnded)
            releaseWaitingReader();
        else if (stop && !terminated)
            terminateFFmpeg();
        else if (stop && ++pollsSinceTerminate >= pollsBeforeKill)
            terminateFFmpeg(true); // it did not stop when asked
        terminated = terminated || stop;
        lock.lock();
    }
}

DVDMPEGIICreateObject::Outcome DVDMPEGIICreateObject::verdict(Pass pass) {
    const QString output = strOutputFullPath();
    const QString stream = streamName(pass);
    const QString problem = streamProblem(output, stream);
    const std::lock_guard lock(stateMutex);
    if (cancelled())
        return {End::Cancelled, {}};
    if (stoppedForSound && (pumpOk || !pumpReported) && !soundFailure.isEmpty())
        return {End::Failed, {kStepBackgroundMusic(), tr_("While writing %1: %2").arg(stream, soundFailure)}};
    // A pump's failure names what it could not draw (a slide's file of the show, whichever pass found it):
    // it is told as the pump said it.
    if (stoppedForSound)
        return {End::Failed, {kStepFrames(), pumpFailure}};
    if (!ffmpegResult.succeeded) {
        QString detail = tr_("While writing %1: %2").arg(stream, ffmpegResult.error);
        if (!pumpOk)
            detail += QLatin1Char('\n') + tr_("The frames: %1").arg(pumpFailure);
        return {End::Failed, {kStepFFmpeg(), detail}};
    }
    if (!problem.isEmpty())
        return {End::Failed, {kStepFFmpeg(), problem}};
    // ffmpeg took a stream cut short for a whole one.
    if (!pumpOk)
        return {End::Failed, {kStepFrames(), pumpFailure}};
    if (!soundFailure.isEmpty())
        return {End::Failed, {kStepBackgroundMusic(), tr_("While writing %1: %2").arg(stream, soundFailure)}};
    return {End::Completed, {}};
}

void DVDMPEGIICreateObject::finish(const Outcome& outcome) {
    {
        const std::lock_guard lock(stateMutex);
        ended = outcome.end;
        failure = outcome.error;
    }
    if (outcome.end == End::Completed)
        center.post(movieFinishedNotificationName());
    if (completionHandler)
        completionHandler(outcome.end, outcome.error);
    {
        const std::lock_guard lock(stateMutex);
        driverRunning = false;
    }
    stateChanged.notify_all();
}
