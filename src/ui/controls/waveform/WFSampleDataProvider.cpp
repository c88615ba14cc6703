#include "ui/controls/waveform/WFSampleDataProvider.h"

#include "ui/controls/waveform/WFAVAssetSampleDataProvider.h"

#include <vector>

using platform::media::MediaAsset;
using platform::media::MediaTime;
using platform::media::TimeRange;

std::shared_ptr<WFSampleDataProvider>
WFSampleDataProvider::providerWithAsset(const MediaAsset& asset, int track, const TimeRange& timeRange) {
    return std::make_shared<WFAVAssetSampleDataProvider>(asset, track, timeRange);
}

std::shared_ptr<WFSampleDataProvider> WFSampleDataProvider::providerWithAsset(const MediaAsset& asset,
                                                                              int track) {
    return providerWithAsset(asset, track, WFAVAssetSampleDataProvider::wholeAsset());
}

void WFSampleDataProvider::yieldSamplesOnChannel(uint64_t channel, WFFrameRange range,
                                                 const WFFrameBlock& block) {
    const uint64_t stride = samplesPerFrame();
    if (stride == 1) {
        yieldFramesInRange(range, block);
        return;
    }
    if (channel >= stride) {
        block(nullptr, WFFrameRange::notFound());
        return;
    }
    yieldFramesInRange(range, [&](const float* frames, WFFrameRange delivered) {
        std::vector<float> picked(frames ? delivered.length : 0, 0.0f);
        for (uint64_t i = 0; i < picked.size(); ++i)
            picked[i] = frames[i * stride + channel];
        block(picked.data(), delivered);
    });
}
