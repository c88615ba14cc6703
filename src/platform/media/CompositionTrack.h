#pragma once

#include "platform/media/TimeRange.h"

#include <QString>
#include <vector>

namespace platform::media {

class MediaAsset;

// One piece of a track: a range of a file's sound placed on the composition's timeline, or, with no
// file, a stretch of silence.
struct CompositionSegment {
    QString sourcePath; // empty for an empty range
    TimeRange source;   // in the file's sound; its duration equals the target's
    TimeRange target;   // on the composition's timeline

    bool isEmptyRange() const { return sourcePath.isEmpty(); }
};

// An audio track of a composition: segments laid end to end from time 0, without overlaps.
class CompositionTrack {
public:
    explicit CompositionTrack(int32_t trackID) : id(trackID) {}

    int32_t trackID() const { return id; }

    // Inserts a range of the asset's first audio stream at a time of the track. What lies at or after that
    // time moves later by the range's length (a segment there is split); inserting beyond the track's end
    // leaves silence in between. False, with a reason, for an asset without sound or a range that is
    // invalid or starts outside the sound; a range that runs past the sound's end plays silence there.
    bool insertTimeRange(const TimeRange& sourceRange, const MediaAsset& asset, const MediaTime& at,
                         QString* error = nullptr);
    // Inserts silence over the range, moving what lies at or after its start later; false if it is invalid.
    bool insertEmptyTimeRange(const TimeRange& range);

    const std::vector<CompositionSegment>& segments() const { return pieces; }
    // From 0 to the end of the last segment.
    TimeRange timeRange() const;
    MediaTime endTime() const;
    bool isEmpty() const { return pieces.empty(); }

private:
    void insertSegment(CompositionSegment segment);
    void splitAt(const MediaTime& time);

    int32_t id;
    std::vector<CompositionSegment> pieces;
};

} // namespace platform::media
