#pragma once

#include "ui/controls/waveform/WFSampleRange.h"

#include "platform/media/MediaAsset.h"
#include "platform/media/TimeRange.h"

#include <cstdint>
#include <functional>
#include <memory>

// Receives interleaved floats, samplesPerFrame() per frame, and the frames they are. The pointer is lent for
// the call only. A null pointer with the not-found range, or with an empty range, means nothing to deliver.
using WFFrameBlock = std::function<void(const float* samples, WFFrameRange frames)>;

// A source of float audio frames for the signal views. Frames are never copied out to the caller: they are
// lent to a block, which is called before the yielding call returns. Providers take no locks: one belongs to
// one thread at a time.
class WFSampleDataProvider {
public:
    virtual ~WFSampleDataProvider() = default;

    // Decodes the asset's audio (all of its audio streams mixed) over the time range into an overview, on
    // the first question asked of it. `track` is the audio stream the caller is after, counted from 0.
    static std::shared_ptr<WFSampleDataProvider>
    providerWithAsset(const platform::media::MediaAsset& asset, int track,
                      const platform::media::TimeRange& timeRange);
    // The same over the whole asset.
    static std::shared_ptr<WFSampleDataProvider> providerWithAsset(const platform::media::MediaAsset& asset,
                                                                   int track);

    // Calls the block once with the frames of the range that exist.
    virtual void yieldFramesInRange(WFFrameRange range, const WFFrameBlock& block) = 0;
    virtual uint64_t framesLength() = 0;
    virtual double framesPerSecond() = 0;
    virtual uint64_t samplesPerFrame() = 0;

    // Calls the block once with one channel of the range's frames, one float per frame; a channel the
    // frames do not have gets the null pointer and the not-found range.
    void yieldSamplesOnChannel(uint64_t channel, WFFrameRange range, const WFFrameBlock& block);
};
