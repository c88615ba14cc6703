// The sample-data providers: buffered frames, channel picking, the monoizer and the decoded overview.
#include "ui/controls/waveform/WFAVAssetSampleDataProvider.h"
#include "ui/controls/waveform/WFBufferedSampleDataProvider.h"
#include "ui/controls/waveform/WFSampleDataMonoizer.h"

#include "support/ClipMaker.h"
#include "support/TempDir.h"
#include "support/ToneMaker.h"

#include <QFile>
#include <gtest/gtest.h>

#include <numeric>

using platform::media::MediaAsset;
using platform::media::TimeRange;

namespace {

struct Call {
    std::vector<float> values;
    bool null = false;
    WFFrameRange range;
};

// Every call of the block, with copies of what it was lent.
std::vector<Call> collect(const std::function<void(const WFFrameBlock&)>& yield, uint64_t perFrame = 1) {
    std::vector<Call> calls;
    yield([&](const float* samples, WFFrameRange range) {
        Call call{{}, samples == nullptr, range};
        if (samples && !range.isNotFound())
            call.values.assign(samples, samples + range.length * perFrame);
        calls.push_back(call);
    });
    return calls;
}

// Ten stereo frames: left 0..9, right 100..109.
std::shared_ptr<WFBufferedSampleDataProvider> stereoTen() {
    std::vector<float> samples;
    for (int i = 0; i < 10; ++i)
        samples.insert(samples.end(), {float(i), float(100 + i)});
    return std::make_shared<WFBufferedSampleDataProvider>(samples, 2, 8000.0);
}

} // namespace

TEST(WFSampleDataProvider, BufferedFramesAreCutToTheDataAndChannelsPickedOrSummed) {
    auto stereo = stereoTen();
    ASSERT_EQ(stereo->framesLength(), 10u);
    auto calls = collect([&](auto& block) { stereo->yieldFramesInRange({8, 5}, block); }, 2);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].range, (WFFrameRange{8, 2}));
    EXPECT_EQ(calls[0].values, (std::vector<float>{8, 108, 9, 109}));
    calls = collect([&](auto& block) { stereo->yieldFramesInRange({12, 3}, block); });
    ASSERT_EQ(calls.size(), 1u) << "beyond the data: one empty call";
    EXPECT_EQ(calls[0].range.length, 0u);

    calls = collect([&](auto& block) { stereo->yieldSamplesOnChannel(1, {2, 3}, block); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].values, (std::vector<float>{102, 103, 104}));
    calls = collect([&](auto& block) { stereo->yieldSamplesOnChannel(2, {0, 10}, block); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].null);
    EXPECT_TRUE(calls[0].range.isNotFound());

    WFSampleDataMonoizer mono(stereo);
    EXPECT_EQ(mono.samplesPerFrame(), 1u);
    EXPECT_EQ(mono.framesLength(), 10u);
    calls = collect([&](auto& block) { mono.yieldFramesInRange({7, 100}, block); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].range, (WFFrameRange{7, 3}));
    EXPECT_EQ(calls[0].values, (std::vector<float>{114, 116, 118})) << "left + right, not their mean";

    WFBufferedSampleDataProvider undecoded;
    EXPECT_EQ(undecoded.framesLength(), 0u) << "no frame size yet: no frames, and no division by it";
}

TEST(WFSampleDataProvider, ABufferReducesToAPairPerBlockAndOneEqualPairForItsRest) {
    std::vector<float> samples(300, 0.0f);
    // Block 0: run 2 holds the largest positive mean, run 1 the smallest negative one.
    std::fill_n(samples.begin(), 32, 0.25f);
    std::fill_n(samples.begin() + 32, 16, -0.5f);
    std::fill_n(samples.begin() + 48, 16, -0.75f);
    std::fill_n(samples.begin() + 64, 32, 0.5f);
    // Block 1 is silent; the 44 left over average their positive values only.
    samples[256] = 0.2f;
    samples[257] = 0.4f;
    samples[258] = -1.0f;
    std::vector<float> overview;
    WFAVAssetSampleDataProvider::appendOverviewOfBuffer(samples.data(), samples.size(), overview);
    ASSERT_EQ(overview.size(), 6u);
    EXPECT_FLOAT_EQ(overview[0], 0.5f);
    EXPECT_FLOAT_EQ(overview[1], -0.625f);
    EXPECT_EQ(overview[2], 0.0f);
    EXPECT_EQ(overview[3], 0.0f);
    EXPECT_FLOAT_EQ(overview[4], 0.3f);
    EXPECT_FLOAT_EQ(overview[5], 0.3f);
}

TEST(WFSampleDataProvider, AnAssetsStreamsAreMixedIntoAnOverviewOf125ValuesPerSecond) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeTracks(dir.file("one.m4a"), {440.0}, 2.0, 0.25f));
    ASSERT_TRUE(ToneMaker::writeTracks(dir.file("two.m4a"), {440.0, 440.0}, 2.0, 0.25f));
    const auto peakOf = [](WFSampleDataProvider& provider) {
        float peak = 0.0f;
        provider.yieldFramesInRange({0, provider.framesLength()},
                                    [&](const float* values, WFFrameRange range) {
                                        peak = *std::max_element(values, values + range.length);
                                    });
        return peak;
    };
    auto one = WFSampleDataProvider::providerWithAsset(MediaAsset::open(dir.file("one.m4a")), 0);
    EXPECT_NEAR(static_cast<double>(one->framesLength()), 2.0 * 8000 / 128 * 2, 2.0);
    EXPECT_EQ(one->samplesPerFrame(), 1u);
    EXPECT_EQ(one->framesPerSecond(), 8000.0);
    auto two = WFSampleDataProvider::providerWithAsset(MediaAsset::open(dir.file("two.m4a")), 1);
    EXPECT_NEAR(two->framesLength(), one->framesLength(), 2.0);
    EXPECT_GT(peakOf(*one), 0.15f);
    EXPECT_NEAR(peakOf(*two), 2.0f * peakOf(*one), 0.02) << "every stream is in the mix";

    auto half = WFSampleDataProvider::providerWithAsset(MediaAsset::open(dir.file("one.m4a")), 0,
                                                        TimeRange::fromSeconds(0.5, 0.5));
    EXPECT_NEAR(static_cast<double>(half->framesLength()), 0.5 * 8000 / 128 * 2, 2.0);
}

TEST(WFSampleDataProvider, AFailedDecodingHasNoFramesAndIsTriedAgain) {
    TempDir dir;
    const QString path = dir.file("clip.mp4");
    ASSERT_TRUE(ClipMaker::make(path, {}));
    WFAVAssetSampleDataProvider provider(MediaAsset::open(path), 0,
                                         WFAVAssetSampleDataProvider::wholeAsset());
    EXPECT_EQ(provider.framesLength(), 0u) << "a clip without sound";
    EXPECT_EQ(provider.samplesPerFrame(), 0u);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(ToneMaker::writeEncoded(path, "mp4", "aac", 440.0, 1.0, 0.5f));
    EXPECT_NEAR(static_cast<double>(provider.framesLength()), 125.0, 2.0)
        << "the next question decodes again";
}

TEST(WFSampleDataProvider, MissingArgumentsAreProgrammingErrors) {
    TempDir dir;
    ASSERT_TRUE(ToneMaker::writeWav(dir.file("t.wav"), 440.0, 0.1, 0.5f));
    const auto whole = WFAVAssetSampleDataProvider::wholeAsset();
    EXPECT_THROW(WFSampleDataMonoizer(nullptr), std::logic_error);
    EXPECT_THROW(WFAVAssetSampleDataProvider(MediaAsset(), 0, whole), std::logic_error);
    EXPECT_THROW(WFAVAssetSampleDataProvider(MediaAsset::open(dir.file("t.wav")), -1, whole),
                 std::logic_error);
}
