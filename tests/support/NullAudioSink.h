#pragma once

#include "platform/media/AudioSink.h"

#include <atomic>
#include <mutex>

namespace test_support {

// A sink without a device, played by a manual clock: advance() hears as many frames as a device would in
// that time, at once, on the calling thread. Nothing stays buffered.
class NullAudioSink : public platform::media::AudioSink {
public:
    bool start(Pull pull) override;
    void stop() override;
    void setPaused(bool paused) override;
    void flush() override {}
    int64_t bufferedFrames() const override { return 0; }
    QString errorString() const override { return {}; }

    // Pulls and drops the frames of that many seconds while started and not paused.
    void advance(double seconds);
    bool isStarted() const { return started; }
    bool isPaused() const { return paused; }
    // Frames heard since the first start.
    int64_t framesPlayed() const { return played; }

private:
    std::mutex mutex; // the pull function
    Pull source;
    std::atomic<bool> started{false};
    std::atomic<bool> paused{false};
    std::atomic<int64_t> played{0};
    double fraction = 0.0; // the part of a frame carried to the next advance
};

} // namespace test_support
