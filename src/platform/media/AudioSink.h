#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace platform::media {

// Where a player's sound goes: a device, or nothing at all in tests. A sink asks for interleaved float
// stereo frames at 44.1 kHz as it needs them, on a thread of its own choosing, and never while holding a
// lock of its own, so that the source may call back into the sink.
class AudioSink {
public:
    // Fills up to maxFrames frames and returns how many it wrote; 0 when it has nothing to give now.
    using Pull = std::function<int(float* interleaved, int maxFrames)>;

    virtual ~AudioSink() = default;

    // Begins asking pull for frames. False, with errorString(), when the output cannot be opened.
    virtual bool start(Pull pull) = 0;
    // Stops asking; once it returns no call of pull is running or will be made. Not to be called from
    // inside pull.
    virtual void stop() = 0;
    virtual void setPaused(bool paused) = 0;
    // Drops what was pulled but not yet heard (after a seek). May be called from inside pull.
    virtual void flush() = 0;
    // Frames pulled but not yet heard. Any thread.
    virtual int64_t bufferedFrames() const = 0;
    virtual QString errorString() const = 0;
};

} // namespace platform::media
