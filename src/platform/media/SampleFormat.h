#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::media {

// Float samples (full scale at +-1) as signed 16-bit ones, for whatever takes those: scaled by 32768, so that
// 16-bit sound read as float comes back unchanged, and held within the 16-bit range, so that full scale and
// beyond stay at the top instead of turning over to the bottom. A sample that is no number is silence.
int16_t toInt16Sample(float sample);
void toInt16Samples(const float* samples, std::size_t count, int16_t* out);

} // namespace platform::media
