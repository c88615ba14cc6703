#include "platform/media/MediaTime.h"

#include <cmath>
#include <limits>
#include <numeric>

namespace platform::media {

namespace {

using Wide = __int128;

// The timescale two times can share without rounding when it fits, else the finer of the two.
int32_t commonTimescale(int32_t a, int32_t b) {
    if (a == b)
        return a;
    const int64_t lcm = std::lcm(static_cast<int64_t>(a), static_cast<int64_t>(b));
    if (lcm <= std::numeric_limits<int32_t>::max())
        return static_cast<int32_t>(lcm);
    return std::max(a, b);
}

int64_t rescaleRounded(int64_t value, int32_t from, int32_t to) {
    if (from == to)
        return value;
    const Wide numerator = static_cast<Wide>(value) * to;
    const Wide half = from / 2;
    const Wide rounded = numerator >= 0 ? (numerator + half) / from : -((-numerator + half) / from);
    return static_cast<int64_t>(rounded);
}

} // namespace

MediaTime MediaTime::fromSeconds(double seconds, int32_t timescale) {
    if (!std::isfinite(seconds) || timescale <= 0)
        return invalid();
    const double ticks = std::round(seconds * timescale);
    if (std::fabs(ticks) >= 9.2e18)
        return invalid();
    return {static_cast<int64_t>(ticks), timescale};
}

double MediaTime::seconds() const {
    if (!isValid())
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(value) / timescale;
}

MediaTime MediaTime::convertScale(int32_t newTimescale) const {
    if (!isValid() || newTimescale <= 0)
        return invalid();
    return {rescaleRounded(value, timescale, newTimescale), newTimescale};
}

MediaTime MediaTime::operator+(const MediaTime& other) const {
    if (!isValid() || !other.isValid())
        return invalid();
    const int32_t scale = commonTimescale(timescale, other.timescale);
    return {convertScale(scale).value + other.convertScale(scale).value, scale};
}

MediaTime MediaTime::operator-(const MediaTime& other) const {
    if (!isValid() || !other.isValid())
        return invalid();
    return *this + (-other);
}

std::strong_ordering MediaTime::operator<=>(const MediaTime& other) const {
    if (!isValid() || !other.isValid())
        return isValid() <=> other.isValid();
    const Wide left = static_cast<Wide>(value) * other.timescale;
    const Wide right = static_cast<Wide>(other.value) * timescale;
    return left <=> right;
}

MediaTime min(const MediaTime& a, const MediaTime& b) {
    return b < a ? b : a;
}

MediaTime max(const MediaTime& a, const MediaTime& b) {
    return a < b ? b : a;
}

} // namespace platform::media
