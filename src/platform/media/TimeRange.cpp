#include "platform/media/TimeRange.h"

namespace platform::media {

TimeRange TimeRange::fromSeconds(double start, double duration, int32_t timescale) {
    return {MediaTime::fromSeconds(start, timescale), MediaTime::fromSeconds(duration, timescale)};
}

TimeRange TimeRange::fromStartEnd(const MediaTime& start, const MediaTime& end) {
    return {start, end - start};
}

bool TimeRange::isValid() const {
    return start.isValid() && duration.isValid() && duration.value >= 0;
}

bool TimeRange::isEmpty() const {
    return !isValid() || duration.value == 0;
}

bool TimeRange::containsTime(const MediaTime& time) const {
    return isValid() && time.isValid() && start <= time && time < end();
}

bool TimeRange::containsRange(const TimeRange& other) const {
    return isValid() && other.isValid() && start <= other.start && other.end() <= end();
}

TimeRange TimeRange::unionWith(const TimeRange& other) const {
    if (!isValid())
        return other;
    if (!other.isValid())
        return *this;
    return fromStartEnd(min(start, other.start), max(end(), other.end()));
}

TimeRange TimeRange::intersection(const TimeRange& other) const {
    if (!isValid() || !other.isValid())
        return zero();
    const MediaTime from = max(start, other.start);
    const MediaTime to = min(end(), other.end());
    if (to <= from)
        return zero();
    return fromStartEnd(from, to);
}

} // namespace platform::media
