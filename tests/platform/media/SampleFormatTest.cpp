#include "platform/media/SampleFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace platform::media;

// Full scale and beyond stay at their own end of the range: a turned-over sample is a full-scale click.
TEST(SampleFormat, FloatSamplesBecomeSixteenBitsWithoutTurningOver) {
    const std::vector<std::pair<float, int16_t>> cases = {
        {0.0f, 0},          {0.5f, 16384},
        {-0.5f, -16384},    {1.0f, 32767},
        {-1.0f, -32768},    {1.5f, 32767},
        {-3.0f, -32768},    {1000.0f / 32768.0f, 1000},
        {std::nanf(""), 0}, {std::numeric_limits<float>::infinity(), 32767}};
    std::vector<float> in;
    std::vector<int16_t> expected;
    for (const auto& [sample, bits] : cases) {
        in.push_back(sample);
        expected.push_back(bits);
    }
    std::vector<int16_t> out(in.size(), 1);
    toInt16Samples(in.data(), in.size(), out.data());
    EXPECT_EQ(out, expected);
}
