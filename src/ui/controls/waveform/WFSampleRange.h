#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

// A run of samples (or frames) of a signal: location and length. The not-found range, whose location is the
// largest signed 64-bit value, stands for no data and no selection.
struct WFSampleRange {
    static constexpr uint64_t kNotFound = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

    uint64_t location = kNotFound;
    uint64_t length = 0;

    static constexpr WFSampleRange notFound() { return {}; }
    constexpr bool isNotFound() const { return location == kNotFound; }
    constexpr uint64_t end() const { return location + length; }

    // The overlap; (0, 0) when the two do not overlap.
    constexpr WFSampleRange intersection(const WFSampleRange& other) const {
        const uint64_t from = std::max(location, other.location);
        const uint64_t to = std::min(end(), other.end());
        return to > from ? WFSampleRange{from, to - from} : WFSampleRange{0, 0};
    }
    // The smallest range covering both.
    constexpr WFSampleRange unionWith(const WFSampleRange& other) const {
        const uint64_t from = std::min(location, other.location);
        return {from, std::max(end(), other.end()) - from};
    }

    constexpr bool operator==(const WFSampleRange&) const = default;
};

// The providers speak of frames: one value per channel at one instant.
using WFFrameRange = WFSampleRange;
