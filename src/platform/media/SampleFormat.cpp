#include "platform/media/SampleFormat.h"

#include <algorithm>
#include <cmath>

namespace platform::media {

int16_t toInt16Sample(float sample) {
    if (std::isnan(sample))
        return 0;
    return static_cast<int16_t>(std::clamp(std::nearbyint(sample * 32768.0f), -32768.0f, 32767.0f));
}

void toInt16Samples(const float* samples, std::size_t count, int16_t* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = toInt16Sample(samples[i]);
}

} // namespace platform::media
