// The feed that fades, repeats and silences a show's sound as an encoder reads it.
#include "export/SoundFeed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace {

constexpr int kRate = 1000; // a frame a millisecond keeps the arithmetic readable

struct FadeCase {
    const char* name;
    double end;     // where the buffer ends, seconds
    double seconds; // its length
    double total;
    float baseGain;
    // Expected gains of the buffer's first and last frames.
    float first;
    float last;
};

void PrintTo(const FadeCase& c, std::ostream* out) {
    *out << c.name;
}

class SoundFeedFadeTest : public ::testing::TestWithParam<FadeCase> {};

// A source of `frames` frames of 1.0 on both channels, counting how often it was read and started again.
struct CountingSource {
    int frames = 0;
    int position = 0;
    int restarts = 0;
    bool failRead = false;
    bool failRestart = false;

    SoundFeed::Source source(std::function<bool()> usedUp = {}) {
        SoundFeed::Source s;
        s.read = [this](float* out, int maxFrames) {
            if (failRead)
                return -1;
            const int n = std::min(maxFrames, frames - position);
            std::fill_n(out, n * 2, 1.0f);
            position += n;
            return n;
        };
        s.nextSong = [this] {
            ++restarts;
            position = 0;
            return !failRestart;
        };
        s.songsUsedUp = std::move(usedUp);
        return s;
    }
};

SoundFeed::Settings settings(double total, bool fades = true, int64_t length = INT64_MAX) {
    SoundFeed::Settings s;
    s.sampleRate = kRate;
    s.fades = fades;
    s.totalSeconds = total;
    s.lengthFrames = length;
    return s;
}

} // namespace

TEST_P(SoundFeedFadeTest, ScalesTheBufferOverItsLength) {
    const FadeCase c = GetParam();
    const int frames = std::max(1, int(c.seconds * kRate + 0.5));
    std::vector<float> samples(std::size_t(frames) * 2, 1.0f);
    SoundFeed::applyFades(samples.data(), frames, 2, c.end, c.seconds, c.total, c.baseGain);
    EXPECT_NEAR(samples.front(), c.first, 1e-3);
    EXPECT_NEAR(samples[1], c.first, 1e-3) << "both channels of a frame";
    EXPECT_NEAR(samples.back(), c.last, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, SoundFeedFadeTest,
    ::testing::Values(FadeCase{"FadeIn", 1.5, 0.5, 10.0, 1.0f, 1.001f / 3.0f, 0.5f},
                      FadeCase{"FadeInOfASilentStretch", 1.5, 0.5, 10.0, 0.0f, 0.0f, 0.0f},
                      FadeCase{"Middle", 5.0, 0.5, 10.0, 1.0f, 1.0f, 1.0f},
                      FadeCase{"MiddleAfterTheSongs", 5.0, 0.5, 10.0, 0.0f, 0.0f, 0.0f},
                      FadeCase{"FadeOut", 9.0, 0.5, 10.0, 1.0f, 1.499f / 3.0f, 1.0f / 3.0f},
                      FadeCase{"PastTheEndKeepsTheFloor", 10.2, 0.4, 10.0, 1.0f, 0.2f / 3.0f, 0.05f},
                      FadeCase{"PastTheEndOfASilentStretch", 10.2, 0.4, 10.0, 0.0f, 0.0f, 0.0f},
                      FadeCase{"AMillisecondIsLeftAlone", 1.0, 0.001, 10.0, 1.0f, 1.0f, 1.0f},
                      FadeCase{"AShowShorterThanTheFadesOnlyFadesIn", 2.0, 0.5, 2.0, 1.0f, 1.501f / 3.0f,
                               2.0f / 3.0f}),
    [](const ::testing::TestParamInfo<FadeCase>& info) { return info.param.name; });

TEST(SoundFeedTest, ASourceThatRunsDryStartsAgainUntilTheLengthIsDelivered) {
    CountingSource song{.frames = 400};
    SoundFeed feed(settings(100.0, false, 1000), song.source());
    std::vector<float> buffer(2 * 300);
    int64_t total = 0;
    while (const int got = feed.read(buffer.data(), 300)) {
        ASSERT_GT(got, 0);
        total += got;
    }
    EXPECT_EQ(total, 1000);
    EXPECT_EQ(feed.framesDelivered(), 1000);
    EXPECT_DOUBLE_EQ(feed.time(), 1.0);
    EXPECT_EQ(song.restarts, 2);
    EXPECT_EQ(feed.read(buffer.data(), 300), 0) << "nothing past the length";
}

// Reads of 64 frames from sources that end or fail.
TEST(SoundFeedTest, ASourceThatEndsOrFailsEndsOrFailsTheFeed) {
    const struct {
        const char* name;
        CountingSource song;
        bool nextSong;
        std::vector<int> reads;
        int restarts;
    } cases[] = {
        {"an empty sound ends the feed instead of starting again for ever", {.frames = 0}, true, {0}, 1},
        {"without a next song the feed ends with its source", {.frames = 100}, false, {64, 36, 0}, 0},
        {"a failed read", {.frames = 100, .failRead = true}, true, {-1}, 0},
        {"a sound that cannot be started again", {.frames = 10, .failRestart = true}, true, {10, -1}, 1},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        SoundFeed::Source source = c.song.source();
        if (!c.nextSong)
            source.nextSong = nullptr;
        SoundFeed feed(settings(100.0), std::move(source));
        std::vector<float> buffer(2 * 64);
        for (const int expected : c.reads)
            EXPECT_EQ(feed.read(buffer.data(), 64), expected);
        EXPECT_EQ(c.song.restarts, c.restarts);
    }
}

TEST(SoundFeedTest, WhatFollowsUsedUpSongsIsSilent) {
    CountingSource song{.frames = 5000};
    SoundFeed feed(settings(100.0), song.source([&] { return song.restarts > 0; }));
    std::vector<float> buffer(2 * 1000);
    // 4 to 5 s: neither fade, so the sound comes as it is.
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(feed.read(buffer.data(), 1000), 1000);
    EXPECT_FLOAT_EQ(buffer.back(), 1.0f);
    ASSERT_EQ(feed.read(buffer.data(), 1000), 1000);
    EXPECT_EQ(song.restarts, 1);
    for (float sample : buffer)
        ASSERT_EQ(sample, 0.0f);
}
