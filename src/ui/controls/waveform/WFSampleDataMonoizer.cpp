#include "ui/controls/waveform/WFSampleDataMonoizer.h"

#include "ui/controls/waveform/WFRequire.h"

#include <vector>

WFSampleDataMonoizer::WFSampleDataMonoizer(std::shared_ptr<WFSampleDataProvider> sourceProvider)
    : _sourceProvider(std::move(sourceProvider)) {
    wfRequire(_sourceProvider != nullptr, QStringLiteral("provider argument may not be nil"));
}

void WFSampleDataMonoizer::yieldFramesInRange(WFFrameRange range, const WFFrameBlock& block) {
    const uint64_t stride = _sourceProvider->samplesPerFrame();
    const WFFrameRange frames = range.intersection({0, _sourceProvider->framesLength()});
    _sourceProvider->yieldFramesInRange(frames, [&](const float* samples, WFFrameRange delivered) {
        std::vector<float> sums(samples ? delivered.length : 0, 0.0f);
        for (uint64_t i = 0; i < sums.size(); ++i)
            for (uint64_t c = 0; c < stride; ++c)
                sums[i] += samples[i * stride + c];
        block(sums.data(), delivered);
    });
}
