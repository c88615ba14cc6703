#pragma once

#include <compare>
#include <cstdint>

namespace platform::media {

// A point or a length on a media timeline: value / timescale seconds. A timescale of 0 marks an invalid time.
// Times of different timescales compare and add exactly; the project's times use the timescale 600.
struct MediaTime {
    static constexpr int32_t kDefaultTimescale = 600;

    int64_t value = 0;
    int32_t timescale = 0;

    constexpr MediaTime() = default;
    constexpr MediaTime(int64_t v, int32_t scale) : value(v), timescale(scale > 0 ? scale : 0) {}

    static constexpr MediaTime zero() { return {0, kDefaultTimescale}; }
    static constexpr MediaTime invalid() { return {}; }
    // Rounds to the nearest tick; a truncation the caller wants is done before the call. NaN or infinite
    // seconds give an invalid time.
    static MediaTime fromSeconds(double seconds, int32_t timescale = kDefaultTimescale);

    constexpr bool isValid() const { return timescale > 0; }
    double seconds() const;
    // The same time at another timescale, rounded to the nearest tick.
    MediaTime convertScale(int32_t newTimescale) const;

    MediaTime operator+(const MediaTime& other) const;
    MediaTime operator-(const MediaTime& other) const;
    MediaTime operator-() const { return {-value, timescale}; }
    // Invalid times order before every valid time and equal each other.
    std::strong_ordering operator<=>(const MediaTime& other) const;
    bool operator==(const MediaTime& other) const { return (*this <=> other) == 0; }
};

MediaTime min(const MediaTime& a, const MediaTime& b);
MediaTime max(const MediaTime& a, const MediaTime& b);

} // namespace platform::media
