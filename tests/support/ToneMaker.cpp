#include "support/ToneMaker.h"

#include "platform/media/AudioFileWriter.h"
#include "support/WavFile.h"

#include <algorithm>
#include <cmath>
#include <numbers>

std::vector<float> ToneMaker::sine(double frequency, double seconds, float amplitude, int channels,
                                   int sampleRate) {
    const size_t frames = static_cast<size_t>(std::llround(seconds * sampleRate));
    std::vector<float> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const float value = amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency *
                                                                    static_cast<double>(i) / sampleRate));
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = value;
    }
    return samples;
}

std::vector<int16_t> ToneMaker::toInt16(const std::vector<float>& samples) {
    std::vector<int16_t> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(), [](float s) {
        return static_cast<int16_t>(std::clamp(std::lround(s * 32767.0f), -32768L, 32767L));
    });
    return out;
}

bool ToneMaker::writeWav(const QString& path, double frequency, double seconds, float amplitude, int channels,
                         int sampleRate) {
    return WavFile::write(path, toInt16(sine(frequency, seconds, amplitude, channels, sampleRate)), channels,
                          sampleRate);
}

bool ToneMaker::writeEncoded(const QString& path, const QString& container, const QString& codec,
                             double frequency, double seconds, float amplitude, const QVariantMap& metadata,
                             QString* error) {
    platform::media::AudioFileWriter::Settings settings;
    settings.path = path;
    settings.container = container;
    settings.codec = codec;
    settings.metadata = metadata;
    platform::media::AudioFileWriter writer(settings);
    const std::vector<float> samples = sine(frequency, seconds, amplitude);
    const bool ok = writer.start() && writer.write(samples.data(), static_cast<int>(samples.size() / 2)) &&
                    writer.finish();
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

double ToneMaker::rms(const std::vector<float>& interleaved, int channels, int channel, size_t from,
                      size_t count) {
    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    const size_t end = count == SIZE_MAX ? frames : std::min(frames, from + count);
    double sum = 0.0;
    size_t n = 0;
    for (size_t i = from; i < end; ++i) {
        for (int c = 0; c < channels; ++c) {
            if (channel >= 0 && c != channel)
                continue;
            const double s = interleaved[i * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            sum += s * s;
            ++n;
        }
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}
