#include "ui/controls/waveform/WFBufferedSampleDataProvider.h"

WFBufferedSampleDataProvider::WFBufferedSampleDataProvider(std::vector<float> samples,
                                                           uint64_t samplesPerFrame, double framesPerSecond)
    : _framesPerSecond(framesPerSecond), _samplesPerFrame(samplesPerFrame),
      _sampleDataBuffer(std::move(samples)) {}

void WFBufferedSampleDataProvider::yieldFramesInRange(WFFrameRange range, const WFFrameBlock& block) {
    const WFFrameRange frames = range.intersection({0, WFBufferedSampleDataProvider::framesLength()});
    const float* first =
        frames.length ? _sampleDataBuffer.data() + frames.location * _samplesPerFrame : nullptr;
    block(first, frames);
}

uint64_t WFBufferedSampleDataProvider::framesLength() {
    return _samplesPerFrame ? _sampleDataBuffer.size() / _samplesPerFrame : 0;
}
