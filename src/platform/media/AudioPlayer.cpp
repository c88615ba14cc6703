#include "platform/media/AudioPlayer.h"

#include "platform/gl/DriverLock.h"
#include "platform/media/AudioRenderer.h"
#include "platform/media/QtAudioSink.h"

#include <algorithm>
#include <mutex>

namespace platform::media {

namespace {

std::mutex factoryMutex;
AudioPlayer::SinkFactory& factorySlot() {
    static AudioPlayer::SinkFactory factory;
    return factory;
}

} // namespace

// Two locks: control serialises play, pause and stop, which wait for the sink's thread; render guards
// what that thread reads while it pulls, so a pull never waits for a control call.
struct AudioPlayer::State {
    std::mutex control;
    mutable std::mutex render;
    std::unique_ptr<AudioRenderer> renderer;
    int64_t totalFrames = 0;
    int64_t readFrame = 0;  // next frame to render
    int64_t heardFloor = 0; // no earlier frame is heard after a seek
    bool playing = false;
    bool started = false;
    bool endReported = false;
    Status status = Status::ReadyToPlay;
    QString error;
    std::function<void()> endHandler;
};

void AudioPlayer::setDefaultSinkFactory(SinkFactory factory) {
    std::lock_guard lock(factoryMutex);
    factorySlot() = std::move(factory);
}

std::unique_ptr<AudioSink> AudioPlayer::makeDefaultSink() {
    SinkFactory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = factorySlot();
    }
    if (factory)
        if (auto sink = factory())
            return sink;
    return std::make_unique<QtAudioSink>();
}

AudioPlayer::AudioPlayer(Composition composition, AudioMix mix, std::unique_ptr<AudioSink> sink)
    : output(sink ? std::move(sink) : makeDefaultSink()), state(std::make_unique<State>()) {
    state->renderer = std::make_unique<AudioRenderer>(std::move(composition), std::move(mix));
    state->totalFrames = state->renderer->frameCount();
}

AudioPlayer::~AudioPlayer() {
    stop();
}

MediaTime AudioPlayer::duration() const {
    std::lock_guard lock(state->render);
    return state->renderer->duration();
}

AudioPlayer::Status AudioPlayer::status() const {
    std::lock_guard lock(state->render);
    return state->status;
}

QString AudioPlayer::errorString() const {
    std::lock_guard lock(state->render);
    return state->error;
}

bool AudioPlayer::play() {
    gl::DriverLock::checkFreeToWait("the sound output");
    std::lock_guard control(state->control);
    {
        std::lock_guard lock(state->render);
        state->playing = true;
    }
    if (state->started) {
        output->setPaused(false);
        return true;
    }
    output->setPaused(false);
    const bool started = output->start([this](float* out, int frames) { return pull(out, frames); });
    std::lock_guard lock(state->render);
    state->started = started;
    state->playing = started;
    if (!started)
        state->error = output->errorString();
    return started;
}

void AudioPlayer::pause() {
    gl::DriverLock::checkFreeToWait("the sound output");
    std::lock_guard control(state->control);
    {
        std::lock_guard lock(state->render);
        state->playing = false;
    }
    output->setPaused(true);
}

bool AudioPlayer::isPlaying() const {
    std::lock_guard lock(state->render);
    return state->playing;
}

void AudioPlayer::seek(const MediaTime& time) {
    {
        std::lock_guard lock(state->render);
        const int64_t frame = std::clamp<int64_t>(AudioRenderer::frameAt(time), 0, state->totalFrames);
        state->readFrame = frame;
        state->heardFloor = frame;
        state->endReported = false;
    }
    output->flush();
}

void AudioPlayer::stop() {
    gl::DriverLock::checkFreeToWait("the sound output");
    std::lock_guard control(state->control);
    if (state->started)
        output->stop();
    std::lock_guard lock(state->render);
    state->started = false;
    state->playing = false;
    state->readFrame = 0;
    state->heardFloor = 0;
    state->endReported = false;
}

MediaTime AudioPlayer::currentTime() const {
    const int64_t buffered = output->bufferedFrames();
    std::lock_guard lock(state->render);
    const int64_t frame = std::max(state->heardFloor, state->readFrame - buffered);
    return MediaTime(frame, AudioRenderer::kSampleRate);
}

void AudioPlayer::setEndHandler(std::function<void()> handler) {
    std::lock_guard lock(state->render);
    state->endHandler = std::move(handler);
}

AudioSink* AudioPlayer::sink() const {
    return output.get();
}

int AudioPlayer::pull(float* interleaved, int maxFrames) {
    std::function<void()> atEnd;
    int frames = 0;
    {
        std::lock_guard lock(state->render);
        if (!state->playing || state->status == Status::Failed)
            return 0;
        frames = static_cast<int>(std::clamp<int64_t>(state->totalFrames - state->readFrame, 0, maxFrames));
        if (frames > 0 && !state->renderer->render(state->readFrame, frames, interleaved)) {
            state->status = Status::Failed;
            state->error = state->renderer->errorString();
            return 0;
        }
        state->readFrame += frames;
        const bool heardAll = frames == 0 && output->bufferedFrames() == 0;
        if (heardAll && !state->endReported) {
            state->endReported = true;
            atEnd = state->endHandler;
        }
    }
    if (atEnd)
        atEnd();
    return frames;
}

} // namespace platform::media
