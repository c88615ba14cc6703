#pragma once

#include "ui/controls/waveform/WFSampleDataProvider.h"

// One value per frame of another provider: the sum of its channels (not their mean).
class WFSampleDataMonoizer : public WFSampleDataProvider {
public:
    // The source must be given.
    explicit WFSampleDataMonoizer(std::shared_ptr<WFSampleDataProvider> sourceProvider);

    void yieldFramesInRange(WFFrameRange range, const WFFrameBlock& block) override;
    uint64_t framesLength() override { return _sourceProvider->framesLength(); }
    double framesPerSecond() override { return _sourceProvider->framesPerSecond(); }
    uint64_t samplesPerFrame() override { return 1; }

private:
    std::shared_ptr<WFSampleDataProvider> _sourceProvider;
};
