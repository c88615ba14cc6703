#pragma once

#include "platform/media/MediaTime.h"

// What the project asks of the parts that play it. The audio mixer and the timeline player are
// built on top of the model; they implement these so that the project can rewind them.

class ProjectAudioMixer {
public:
    virtual ~ProjectAudioMixer() = default;
    virtual void seekToBegin() = 0;
    // The player reached the end of a show that does not loop.
    virtual void StopPlayingMixedAudio() {}
};

class ProjectDirector {
public:
    virtual ~ProjectDirector() = default;
    virtual void resetDirector() = 0;
    // The time of the frame being drawn; during an export, the clock that clip slides keep pace with.
    virtual platform::media::MediaTime currentFrameTimeStamp() const {
        return platform::media::MediaTime::zero();
    }
};
