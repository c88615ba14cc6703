// The sound of the movie: its reader, the feed of the mix, the thread that writes it for encodeVideo_3, and
// the sound's blocks on "mediaInputQueue".
#include "export/EncoderController.h"

#include "export/EncoderControllerShared.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/media/AudioReader.h"

#include <chrono>
#include <cmath>

using encoder_controller::failureResult;
using encoder_controller::kAudioChunkFrames;
using platform::media::AudioReader;
using platform::media::MediaKind;

namespace {

constexpr int kSoundRate = AudioReader::kSampleRate;
// How long the sound thread waits before it asks the writer again whether it takes sound.
constexpr std::chrono::milliseconds kAudioReadyWait{200};

} // namespace

// ---- the sound

bool EncoderController::initAudioVar(int /*index*/) {
    audioReader.reset();
    if (!mixedSound) // outside a run: the file at the name, whatever wrote it
        mixedSound = platform::openWrittenFile(strTempM4AAudioFullPath(), std::nullopt);
    if (!mixedSound)
        return false;
    return openAudio(SoundSource::openFile(mixedSound.get(), strTempM4AAudioFullPath(), kSoundRate, nullptr),
                     SoundSource::mixedSoundFailure());
}

bool EncoderController::initAudioVar_old(int index) {
    audioReader.reset();
    const SlideshowProjectRef owner = owningProject();
    QString failure = SoundSource::songReadFailure(owner.get(), index);
    return openAudio(owner ? SoundSource::openSong(*owner, index, kSoundRate, &failure) : nullptr, failure);
}

bool EncoderController::openAudio(std::unique_ptr<SoundSource> sound, const QString& failure) {
    if (!sound)
        return refuse(failureResult(failure));
    audioReader = std::move(sound);
    return true;
}

void EncoderController::switchMusicToNextSong_2() {
    audioReader.reset();
    const SlideshowProjectRef owner = owningProject();
    songs.advance(owner ? int(owner->musicArray().size()) : 0);
    initAudioVar(songs.nSongIndex());
}

SoundFeed::Settings EncoderController::soundSettings(double seconds, bool fades) const {
    SoundFeed::Settings settings;
    settings.sampleRate = kSoundRate;
    settings.fades = fades;
    settings.totalSeconds = seconds;
    if (seconds > 0.0)
        settings.lengthFrames = std::llround(seconds * kSoundRate);
    return settings;
}

void EncoderController::startSoundFeed() {
    // The mix runs on past the last frame (it is padded); the movie's sound ends with its pictures.
    const SlideshowProjectRef owner = project.lock();
    const double seconds = double(owner ? owner->totalFrameCount() : 0) / kFrameRate;
    // The live path writes the mix as it is; the in-memory paths fade it and let it repeat.
    const SoundFeed::Settings settings = soundSettings(seconds, frameSource != Frames::Pipe);
    soundFeed = std::make_unique<SoundFeed>(
        settings, settings.fades ? SoundFeed::fromReader(
                                       audioReader, [this] { switchMusicToNextSong_2(); },
                                       [this] { return songs.songsUsedUp(project.lock().get()); })
                                 : SoundFeed::fromReader(audioReader));
}

// ---- the sound thread of encodeVideo_3

void EncoderController::startAudioReadWrite(double seconds) {
    totalDuration = seconds;
    if (audioThread.joinable())
        return;
    if (!audioReader || !writer) {
        audioFinished = true;
        return;
    }
    // The mix as it is, from its beginning again whenever it runs dry, up to the show's length: past it
    // the sound would outlast the pictures.
    soundFeed = std::make_unique<SoundFeed>(
        soundSettings(seconds, false),
        SoundFeed::fromReader(audioReader, [this] { switchMusicToNextSong_2(); }));
    requestAudioThreadFinish = false;
    audioThread = std::thread([this] { readWriteAudioThread(); });
}

void EncoderController::readWriteAudioThread() {
    std::vector<float> samples(std::size_t(kAudioChunkFrames) * AudioReader::kChannels);
    const auto stopped = [this] { return bCancelRequest() || requestAudioThreadFinish || hasFailure(); };
    while (!stopped()) {
        if (!writer->isReadyForMoreMediaData(MediaKind::Audio)) {
            std::unique_lock lock(audioThreadMutex);
            audioThreadWake.wait_for(lock, kAudioReadyWait,
                                     [this] { return requestAudioThreadFinish.load(); });
            continue;
        }
        const int frames = soundFeed->read(samples.data(), kAudioChunkFrames);
        if (frames < 0)
            setFailure(failureResult(SoundSource::mixedSoundFailure()));
        if (frames <= 0) {
            // All the sound is in: the pictures need not wait for more.
            if (frames == 0 && !audioInputFinished.exchange(true))
                writer->markAsFinished(MediaKind::Audio);
            break;
        }
        if (!writer->appendAudioSamples(samples.data(), frames)) {
            setFailure(failureResult(writer->errorString()));
            break;
        }
    }
    audioFinished = true;
}

void EncoderController::requestAndWaitAudioThreadFinish() {
    stopAudioThread();
    finishAudioInput();
}

void EncoderController::stopAudioThread() {
    {
        // Under the mutex: set between the thread's look at the flag and its wait, the wake would be lost.
        const std::lock_guard lock(audioThreadMutex);
        requestAudioThreadFinish = true;
    }
    audioThreadWake.notify_all();
    if (audioThread.get_id() != std::this_thread::get_id())
        platform::joinUnlessSelf(audioThread, "the encoder's sound thread");
}

void EncoderController::finishAudioInput() {
    if (writer && !audioInputFinished.exchange(true))
        writer->markAsFinished(MediaKind::Audio);
    if (!audioThread.joinable())
        audioReader.reset();
}

// ---- the sound's blocks on "mediaInputQueue"

void EncoderController::audioBlock() {
    if (writingEnded || audioInputFinished)
        return;
    audioBlockRunning = true;
    while (writer->isReadyForMoreMediaData(MediaKind::Audio) && !bCancelRequest() && !hasFailure())
        if (!appendAudioChunk())
            break;
    // After a cancel or a failure the writer may never ask for video again, so the end is run here.
    if (bCancelRequest() || hasFailure())
        videoBlockFinished_2();
    audioBlockRunning = false;
}

bool EncoderController::appendAudioChunk() {
    const int frames = soundFeed ? soundFeed->read(audioBuffer.data(), kAudioChunkFrames) : 0;
    if (frames > 0) {
        if (writer->appendAudioSamples(audioBuffer.data(), frames))
            return true;
        setFailure(failureResult(writer->errorString()));
        return false;
    }
    if (frames < 0)
        setFailure(failureResult(SoundSource::mixedSoundFailure()));
    writer->markAsFinished(MediaKind::Audio);
    audioInputFinished = true;
    return false;
}

bool EncoderController::appendRemainingAudio() {
    // The writer takes sound only while it is at most half a second ahead of the pictures, so some of it
    // is still waiting when the last frame has come.
    while (!audioInputFinished && appendAudioChunk()) {
    }
    return !hasFailure();
}
