#include "ui/controls/waveform/WFAVAssetSampleDataProvider.h"

#include "platform/media/AudioReader.h"
#include "ui/controls/waveform/WFRequire.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::media::AudioReader;
using platform::media::MediaAsset;
using platform::media::MediaTime;
using platform::media::TimeRange;

namespace {

constexpr int kChunkFrames = 64 * static_cast<int>(WFAVAssetSampleDataProvider::kBlockSamples);

struct Means {
    float positive = 0.0f;
    float negative = 0.0f;
};

Means meansOf(const float* samples, size_t count) {
    double positive = 0.0, negative = 0.0;
    size_t positives = 0, negatives = 0;
    for (size_t i = 0; i < count; ++i) {
        if (samples[i] > 0.0f) {
            positive += samples[i];
            ++positives;
        } else if (samples[i] < 0.0f) {
            negative += samples[i];
            ++negatives;
        }
    }
    return {positives ? static_cast<float>(positive / static_cast<double>(positives)) : 0.0f,
            negatives ? static_cast<float>(negative / static_cast<double>(negatives)) : 0.0f};
}

// One reader per audio stream of the file, all at the decoding format; empty when the first cannot open.
std::vector<std::unique_ptr<AudioReader>> openStreams(const QString& path, const MediaTime& start) {
    const AudioReader::OutputFormat format{WFAVAssetSampleDataProvider::kDecodingRate, 1};
    std::vector<std::unique_ptr<AudioReader>> readers;
    for (int stream = 0; readers.empty() || stream < readers.front()->audioStreamCount(); ++stream) {
        auto reader = std::make_unique<AudioReader>(format);
        if (reader->open(path, start, stream))
            readers.push_back(std::move(reader));
        else if (readers.empty())
            break;
        // A later stream that cannot be decoded stays out of the mix.
    }
    return readers;
}

} // namespace

TimeRange WFAVAssetSampleDataProvider::wholeAsset() {
    return {MediaTime::zero(), MediaTime::invalid()};
}

WFAVAssetSampleDataProvider::WFAVAssetSampleDataProvider(MediaAsset asset, int track, TimeRange timeRange)
    : _asset(std::move(asset)), _track(track), _timeRange(timeRange) {
    wfRequire(_asset.isValid(), QStringLiteral("asset argument must not be nil"));
    wfRequire(_track >= 0, QStringLiteral("track argument must not be negative"));
}

uint64_t WFAVAssetSampleDataProvider::framesLength() {
    loadDataIfNecessary();
    return WFBufferedSampleDataProvider::framesLength();
}

double WFAVAssetSampleDataProvider::framesPerSecond() {
    loadDataIfNecessary();
    return WFBufferedSampleDataProvider::framesPerSecond();
}

uint64_t WFAVAssetSampleDataProvider::samplesPerFrame() {
    loadDataIfNecessary();
    return WFBufferedSampleDataProvider::samplesPerFrame();
}

void WFAVAssetSampleDataProvider::loadDataIfNecessary() {
    if (!_loadedData)
        _loadedData = _loadDataWithAsset(_asset, _track, _timeRange);
}

void WFAVAssetSampleDataProvider::appendOverviewOfBuffer(const float* samples, size_t count,
                                                         std::vector<float>& overview) {
    const size_t blocks = count / kBlockSamples;
    for (size_t block = 0; block < blocks; ++block) {
        float largest = 0.0f, smallest = 0.0f;
        for (size_t run = 0; run < kBlockSamples / kRunSamples; ++run) {
            const Means means = meansOf(samples + block * kBlockSamples + run * kRunSamples, kRunSamples);
            largest = run == 0 ? means.positive : std::max(largest, means.positive);
            smallest = run == 0 ? means.negative : std::min(smallest, means.negative);
        }
        overview.push_back(largest);
        overview.push_back(smallest);
    }
    if (const size_t rest = count % kBlockSamples) {
        const float positive = meansOf(samples + blocks * kBlockSamples, rest).positive;
        overview.push_back(positive);
        overview.push_back(positive);
    }
}

bool WFAVAssetSampleDataProvider::_loadDataWithAsset(const MediaAsset& asset, int /*track: all are mixed*/,
                                                     const TimeRange& timeRange) {
    _sampleDataBuffer.clear();
    const auto readers = openStreams(asset.path(), timeRange.start);
    if (readers.empty())
        return false;
    const int64_t limit =
        timeRange.duration.isValid()
            ? std::max<int64_t>(std::llround(timeRange.duration.seconds() * kDecodingRate), 0)
            : std::numeric_limits<int64_t>::max();
    std::vector<float> mix(kChunkFrames), chunk(kChunkFrames), overview;
    for (int64_t decoded = 0; decoded < limit;) {
        const int wanted = static_cast<int>(std::min<int64_t>(kChunkFrames, limit - decoded));
        std::fill_n(mix.begin(), wanted, 0.0f);
        int longest = 0;
        for (const auto& reader : readers) {
            const int got = reader->read(chunk.data(), wanted);
            if (got < 0)
                return false;
            std::transform(chunk.begin(), chunk.begin() + got, mix.begin(), mix.begin(), std::plus<>());
            longest = std::max(longest, got);
        }
        if (longest == 0)
            break;
        if (_samplesPerFrame == 0) {
            _samplesPerFrame = 1;
            _framesPerSecond = kDecodingRate;
        }
        appendOverviewOfBuffer(mix.data(), static_cast<size_t>(longest), overview);
        decoded += longest;
    }
    _sampleDataBuffer = std::move(overview);
    return true;
}
