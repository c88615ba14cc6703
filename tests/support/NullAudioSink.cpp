#include "support/NullAudioSink.h"

#include "platform/media/AudioReader.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace test_support {

using platform::media::AudioReader;

bool NullAudioSink::start(Pull pull) {
    std::lock_guard lock(mutex);
    source = std::move(pull);
    started = true;
    return true;
}

void NullAudioSink::stop() {
    std::lock_guard lock(mutex);
    started = false;
    source = nullptr;
}

void NullAudioSink::setPaused(bool value) {
    paused = value;
}

void NullAudioSink::advance(double seconds) {
    if (!started || paused || !(seconds > 0.0) || !std::isfinite(seconds))
        return;
    Pull pull;
    {
        std::lock_guard lock(mutex);
        pull = source;
    }
    if (!pull)
        return;
    const double exact = seconds * AudioReader::kSampleRate + fraction;
    int64_t wanted = static_cast<int64_t>(std::floor(exact));
    fraction = exact - static_cast<double>(wanted);
    constexpr int kChunk = 4096;
    std::vector<float> buffer(static_cast<size_t>(kChunk) * AudioReader::kChannels);
    // A source with nothing to give twice running has ended and was not rewound by its end handler.
    int idlePulls = 0;
    while (wanted > 0 && started && !paused && idlePulls < 2) {
        const int got = pull(buffer.data(), static_cast<int>(std::min<int64_t>(wanted, kChunk)));
        idlePulls = got > 0 ? 0 : idlePulls + 1;
        played += got;
        wanted -= got;
    }
}

} // namespace test_support
