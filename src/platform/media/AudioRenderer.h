#pragma once

#include "platform/media/AudioMix.h"
#include "platform/media/Composition.h"

#include <QString>
#include <memory>
#include <vector>

namespace platform::media {

// Renders a composition through its mix offline: every segment decoded to float stereo at 44.1 kHz (or the
// rate given), each track scaled by its envelope, the tracks summed and clamped to [-1, 1]. Reading forward
// in successive windows keeps the sources open and decodes each sample once. Not thread-safe; works on its
// own copies.
class AudioRenderer {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    // The longest stretch of a source that an export hears as silence of its length rather than failing on
    // it: a spoilt frame or two, as real files carry.
    static constexpr double kLongestSpoiltStretch = 0.5;

    // A rate outside 1 Hz..384 kHz falls back to 44.1 kHz.
    AudioRenderer(Composition composition, AudioMix mix, int sampleRate = kSampleRate);
    ~AudioRenderer();
    AudioRenderer(const AudioRenderer&) = delete;
    AudioRenderer& operator=(const AudioRenderer&) = delete;

    MediaTime duration() const;
    int sampleRate() const;
    // The composition's length in frames (a frame is a left and a right sample) at the rendering rate.
    int64_t frameCount() const;
    // The frame index of a time at 44.1 kHz, rounded to the nearest.
    static int64_t frameAt(const MediaTime& time);

    // Frames [firstFrame, firstFrame + count) of the mix, interleaved, into out; silence outside the
    // composition. False, with errorString(), when a source cannot be read.
    bool render(int64_t firstFrame, int count, float* interleaved);
    bool render(const TimeRange& range, std::vector<float>& interleaved);
    QString errorString() const;
    // The file of the source that could not be read, after a failed render.
    QString failedSourcePath() const;
    // The seconds of sound that source lost, when it failed on them (it is damaged); 0 otherwise.
    double failedSourceSpoilt() const;
    // A source that yields no sound at all from the start of its segment, where its length says it has
    // some (its header intact, the rest spoilt), or that ends clearly before its segment does (cut since the
    // composition was made), or that lost a stretch longer than kLongestSpoiltStretch, fails the render: an
    // export must not call it silence. The preview, which plays on over it, leaves this off.
    void setSourcesMustSound(bool value);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::media
