#pragma once

#include "ui/controls/waveform/WFSampleDataProvider.h"

#include <vector>

// Serves frames from interleaved floats held in memory.
class WFBufferedSampleDataProvider : public WFSampleDataProvider {
public:
    WFBufferedSampleDataProvider() = default;
    WFBufferedSampleDataProvider(std::vector<float> samples, uint64_t samplesPerFrame,
                                 double framesPerSecond);

    void yieldFramesInRange(WFFrameRange range, const WFFrameBlock& block) override;
    // Whole frames held; none while samplesPerFrame() is 0 (nothing decoded yet).
    uint64_t framesLength() override;
    double framesPerSecond() override { return _framesPerSecond; }
    uint64_t samplesPerFrame() override { return _samplesPerFrame; }

protected:
    double _framesPerSecond = 0.0;
    uint64_t _samplesPerFrame = 0;
    std::vector<float> _sampleDataBuffer;
};
