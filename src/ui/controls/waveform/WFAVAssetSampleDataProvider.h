#pragma once

#include "ui/controls/waveform/WFBufferedSampleDataProvider.h"

// An overview of an asset's sound: all of its audio streams mixed, decoded to mono at 8000 Hz and reduced to
// two values per 128 samples (the larger positive and the smaller negative mean of four runs), 125 values
// per second. It decodes on the first question about its length or format, on the asking thread; a decoding
// that fails leaves it empty and is tried again at the next question. framesPerSecond() reports the decoding
// rate (8000), not the overview's.
class WFAVAssetSampleDataProvider : public WFBufferedSampleDataProvider {
public:
    static constexpr int kDecodingRate = 8000;
    static constexpr size_t kBlockSamples = 128;
    static constexpr size_t kRunSamples = 32;

    // From the start, for as long as the asset lasts.
    static platform::media::TimeRange wholeAsset();

    // The asset must be valid and the track not negative.
    WFAVAssetSampleDataProvider(platform::media::MediaAsset asset, int track,
                                platform::media::TimeRange timeRange);

    uint64_t framesLength() override;
    double framesPerSecond() override;
    uint64_t samplesPerFrame() override;

    // The reduction of one decoded buffer: a pair per full block of 128 samples, and for a shorter rest one
    // pair holding the rest's positive mean twice.
    static void appendOverviewOfBuffer(const float* samples, size_t count, std::vector<float>& overview);

private:
    void loadDataIfNecessary();
    bool _loadDataWithAsset(const platform::media::MediaAsset& asset, int track,
                            const platform::media::TimeRange& timeRange);

    platform::media::MediaAsset _asset;
    int _track = 0;
    platform::media::TimeRange _timeRange;
    bool _loadedData = false;
};
