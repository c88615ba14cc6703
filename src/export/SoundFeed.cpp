#include "export/SoundFeed.h"

#include "export/SoundSource.h"

#include <algorithm>
#include <cstddef>

namespace {

// Buffers this short carry too little time to ramp over.
constexpr double kShortestRamp = 0.001;

} // namespace

SoundFeed::Source SoundFeed::fromReader(const std::unique_ptr<SoundSource>& reader,
                                        std::function<void()> restart, std::function<bool()> songsUsedUp) {
    Source source;
    source.read = [&reader](float* interleaved, int maxFrames) {
        return reader ? reader->read(interleaved, maxFrames) : -1;
    };
    if (restart)
        source.nextSong = [&reader, restart = std::move(restart)] {
            restart();
            return reader != nullptr;
        };
    source.songsUsedUp = std::move(songsUsedUp);
    return source;
}

SoundFeed::SoundFeed(Settings given, Source from) : settings(given), source(std::move(from)) {
    settings.sampleRate = std::max(settings.sampleRate, 1);
    settings.channels = std::max(settings.channels, 1);
}

double SoundFeed::time() const {
    return double(delivered) / settings.sampleRate;
}

int SoundFeed::read(float* interleaved, int maxFrames) {
    const int64_t left = settings.lengthFrames - delivered;
    const int wanted = int(std::min<int64_t>(maxFrames, left));
    if (wanted <= 0 || !source.read)
        return 0;
    int got = readOnce(interleaved, wanted);
    if (got == 0 && source.nextSong) {
        if (!source.nextSong())
            return -1;
        got = readOnce(interleaved, wanted); // still nothing: the sound is empty, and ends here
    }
    if (got <= 0)
        return got;
    delivered += got;
    const float gain = source.songsUsedUp && source.songsUsedUp() ? 0.0f : 1.0f;
    if (settings.fades)
        applyFades(interleaved, got, settings.channels, time(), double(got) / settings.sampleRate,
                   settings.totalSeconds, gain);
    else if (gain != 1.0f)
        std::fill_n(interleaved, std::size_t(got) * std::size_t(settings.channels), 0.0f);
    return got;
}

int SoundFeed::readOnce(float* interleaved, int maxFrames) {
    const int got = source.read(interleaved, maxFrames);
    return got < 0 ? -1 : std::min(got, maxFrames);
}

void SoundFeed::applyFades(float* interleaved, int frames, int channels, double end, double seconds,
                           double total, float baseGain) {
    if (frames <= 0 || channels <= 0)
        return;
    const double start = end - seconds;
    const auto scale = [&](auto gainAt) {
        for (int i = 0; i < frames; ++i) {
            // The time at the end of the sample: the last one reaches the buffer's end.
            const double at = start + seconds * double(i + 1) / double(frames);
            const float gain = gainAt(at);
            float* frame = interleaved + std::size_t(i) * std::size_t(channels);
            for (int c = 0; c < channels; ++c)
                frame[c] *= gain;
        }
    };
    if (seconds > kShortestRamp && end < kFadeSeconds) {
        scale([&](double at) { return float(at / kFadeSeconds) * baseGain; });
    } else if (seconds > kShortestRamp && total - end < kFadeSeconds) {
        scale([&](double at) {
            const float gain = float((total - at) / kFadeSeconds) * baseGain;
            return gain < 0.0f ? kFadeOutFloor : gain;
        });
    } else if (baseGain != 1.0f) {
        scale([&](double) { return baseGain; });
    }
}
