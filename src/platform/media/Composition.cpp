#include "platform/media/Composition.h"

#include <algorithm>

namespace platform::media {

CompositionTrack& Composition::addTrack() {
    return trackList.emplace_back(++lastTrackID);
}

CompositionTrack* Composition::track(int32_t trackID) {
    const auto found = std::find_if(trackList.begin(), trackList.end(),
                                    [trackID](const CompositionTrack& t) { return t.trackID() == trackID; });
    return found == trackList.end() ? nullptr : &*found;
}

const CompositionTrack* Composition::track(int32_t trackID) const {
    return const_cast<Composition*>(this)->track(trackID);
}

void Composition::removeTrack(int32_t trackID) {
    std::erase_if(trackList, [trackID](const CompositionTrack& t) { return t.trackID() == trackID; });
}

void Composition::removeAllTracks() {
    trackList.clear();
}

MediaTime Composition::duration() const {
    MediaTime longest = MediaTime::zero();
    for (const CompositionTrack& t : trackList)
        longest = max(longest, t.endTime());
    return longest;
}

} // namespace platform::media
