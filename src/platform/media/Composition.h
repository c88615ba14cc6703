#pragma once

#include "platform/media/CompositionTrack.h"

#include <deque>

namespace platform::media {

// Audio tracks edited together on one timeline. A value: copies are independent, so an export can take a
// copy to its own thread while the original is built anew.
class Composition {
public:
    // A new empty track with the next free identifier (1, 2, ...). The reference stays valid until the
    // tracks are removed or the composition is assigned to.
    CompositionTrack& addTrack();
    CompositionTrack* track(int32_t trackID);
    const CompositionTrack* track(int32_t trackID) const;
    void removeTrack(int32_t trackID);
    void removeAllTracks();

    const std::deque<CompositionTrack>& tracks() const { return trackList; }
    // The end of the longest track.
    MediaTime duration() const;

private:
    std::deque<CompositionTrack> trackList;
    int32_t lastTrackID = 0;
};

} // namespace platform::media
