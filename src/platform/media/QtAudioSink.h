#pragma once

#include "platform/media/AudioSink.h"

#include <QString>

#include <atomic>
#include <memory>

namespace platform::media {

// The default sound output: Qt Multimedia's QAudioSink on the default device, fed on a thread of its own
// with an event loop, so that a player works from any thread, also one without an event loop. On a
// machine without a sound output it plays silent, taking the sound at a device's pace.
class QtAudioSink : public AudioSink {
public:
    QtAudioSink();
    ~QtAudioSink() override;
    QtAudioSink(const QtAudioSink&) = delete;
    QtAudioSink& operator=(const QtAudioSink&) = delete;

    bool start(Pull pull) override;
    void stop() override;
    void setPaused(bool paused) override;
    void flush() override;
    int64_t bufferedFrames() const override;
    QString errorString() const override;

    class Feeder;
    // What the caller's threads and the feeding thread share; kept outside the feeder, which comes and
    // goes with start and stop.
    struct Shared {
        std::atomic<bool> paused{false};
        std::atomic<bool> flushRequested{false};
        std::atomic<int64_t> buffered{0};
    };

private:
    class FeedingThread;
    Shared shared;
    std::unique_ptr<FeedingThread> thread;
    QString error;
};

} // namespace platform::media
