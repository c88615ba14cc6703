#pragma once

#include "platform/media/AudioMix.h"
#include "platform/media/AudioSink.h"
#include "platform/media/Composition.h"

#include <QString>
#include <functional>
#include <memory>

namespace platform::media {

class AudioRenderer;

// Plays a composition through its mix, rendered as it goes, into a sink. When the end of the sound has
// been heard the end handler runs, on the sink's thread; the player then stays at the end, still playing,
// so that a handler that seeks makes it go on from there. Control calls may come from any thread; seek
// may also come from the end handler, but stop and destruction may not.
class AudioPlayer {
public:
    enum class Status { ReadyToPlay, Failed };
    using SinkFactory = std::function<std::unique_ptr<AudioSink>()>;

    // The sink of players made without one: Qt's audio output, unless another factory is installed
    // (tests install null sinks; null puts Qt's back).
    static void setDefaultSinkFactory(SinkFactory factory);
    static std::unique_ptr<AudioSink> makeDefaultSink();

    AudioPlayer(Composition composition, AudioMix mix, std::unique_ptr<AudioSink> sink = nullptr);
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    MediaTime duration() const;
    // Failed once a source could not be read; the player is silent from then on.
    Status status() const;
    QString errorString() const;

    // False, with errorString(), when the sink cannot start.
    bool play();
    void pause();
    bool isPlaying() const;
    // Clamped to the sound's extent.
    void seek(const MediaTime& time);
    // Ends the output and goes back to the start.
    void stop();
    // What is being heard now.
    MediaTime currentTime() const;

    void setEndHandler(std::function<void()> handler);
    AudioSink* sink() const;

private:
    struct State;
    int pull(float* interleaved, int maxFrames);

    std::unique_ptr<AudioSink> output;
    std::unique_ptr<State> state;
};

} // namespace platform::media
