#pragma once

#include "platform/media/MediaTime.h"

namespace platform::media {

// A stretch of a media timeline: [start, start + duration).
struct TimeRange {
    MediaTime start;
    MediaTime duration;

    constexpr TimeRange() = default;
    constexpr TimeRange(MediaTime s, MediaTime d) : start(s), duration(d) {}
    static TimeRange fromSeconds(double start, double duration,
                                 int32_t timescale = MediaTime::kDefaultTimescale);
    static TimeRange fromStartEnd(const MediaTime& start, const MediaTime& end);
    static constexpr TimeRange zero() { return {MediaTime::zero(), MediaTime::zero()}; }

    // Valid: both times valid and a duration that is not negative.
    bool isValid() const;
    // Empty: invalid, or of no length.
    bool isEmpty() const;
    MediaTime end() const { return start + duration; }

    // The half-open range holds its start but not its end.
    bool containsTime(const MediaTime& time) const;
    bool containsRange(const TimeRange& other) const;
    // The smallest range covering both; an invalid operand yields the other one.
    TimeRange unionWith(const TimeRange& other) const;
    // The overlap; the zero range when the two do not overlap or one is invalid.
    TimeRange intersection(const TimeRange& other) const;

    bool operator==(const TimeRange& other) const = default;
};

} // namespace platform::media
