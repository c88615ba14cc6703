#include "platform/media/CompositionTrack.h"

#include "platform/media/MediaAsset.h"

#include <algorithm>

namespace platform::media {

bool CompositionTrack::insertTimeRange(const TimeRange& sourceRange, const MediaAsset& asset,
                                       const MediaTime& at, QString* error) {
    auto refuse = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!asset.isValid() || !asset.hasAudio())
        return refuse(QStringLiteral("\"%1\" has no sound to insert").arg(asset.path()));
    if (!sourceRange.isValid() || !at.isValid() || at.value < 0 || sourceRange.start.value < 0)
        return refuse(QStringLiteral("The range to insert is not valid"));
    const MediaTime soundEnd = asset.audioTimeRange().end();
    if (sourceRange.start >= soundEnd && !sourceRange.isEmpty())
        return refuse(QStringLiteral("The range to insert starts after the end of \"%1\"").arg(asset.path()));
    if (sourceRange.isEmpty())
        return true;
    insertSegment({asset.path(), sourceRange, {at, sourceRange.duration}});
    return true;
}

bool CompositionTrack::insertEmptyTimeRange(const TimeRange& range) {
    if (!range.isValid() || range.start.value < 0)
        return false;
    if (!range.isEmpty())
        insertSegment({QString(), TimeRange::zero(), range});
    return true;
}

TimeRange CompositionTrack::timeRange() const {
    return {MediaTime::zero(), endTime()};
}

MediaTime CompositionTrack::endTime() const {
    return pieces.empty() ? MediaTime::zero() : pieces.back().target.end();
}

void CompositionTrack::splitAt(const MediaTime& time) {
    for (size_t i = 0; i < pieces.size(); ++i) {
        CompositionSegment& piece = pieces[i];
        if (!(piece.target.start < time && time < piece.target.end()))
            continue;
        const MediaTime head = time - piece.target.start;
        CompositionSegment tail = piece;
        tail.target = TimeRange::fromStartEnd(time, piece.target.end());
        tail.source = {piece.source.start + head, tail.target.duration};
        piece.target.duration = head;
        piece.source.duration = head;
        if (tail.isEmptyRange())
            tail.source = TimeRange::zero();
        if (piece.isEmptyRange())
            piece.source = TimeRange::zero();
        pieces.insert(pieces.begin() + static_cast<ptrdiff_t>(i) + 1, tail);
        return;
    }
}

void CompositionTrack::insertSegment(CompositionSegment segment) {
    const MediaTime at = segment.target.start;
    const MediaTime end = endTime();
    if (end < at)
        pieces.push_back({QString(), TimeRange::zero(), TimeRange::fromStartEnd(end, at)});
    // Songs are laid one after another at the end: nothing moves, so nothing need be scanned.
    if (end <= at) {
        pieces.push_back(std::move(segment));
        return;
    }
    splitAt(at);
    for (CompositionSegment& piece : pieces)
        if (piece.target.start >= at)
            piece.target.start = piece.target.start + segment.target.duration;
    const auto place = std::find_if(pieces.begin(), pieces.end(),
                                    [&](const CompositionSegment& piece) { return piece.target.start > at; });
    pieces.insert(place, std::move(segment));
}

} // namespace platform::media
