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

// The mixer the preview plays the project's sound through: the music director installs a new one
// as the project's audio mixer at every start of playback (the export layer's mixer implements it).
class PlayableAudioMixer : public ProjectAudioMixer {
public:
    virtual void mixProjectAudioForPlaying() = 0;
    // False when the mix could not be played.
    virtual bool PlayMixedAudioFrom(double seconds) = 0;
    // A mixer that plays must be able to stop.
    void StopPlayingMixedAudio() override = 0;
};

class ProjectDirector {
public:
    virtual ~ProjectDirector() = default;
    virtual void resetDirector() = 0;
    // The time of the frame being drawn; during an export, the clock that clip slides keep pace with.
    virtual platform::media::MediaTime currentFrameTimeStamp() const {
        return platform::media::MediaTime::zero();
    }
    // Whether an export plays: its clips follow the frame times above, and their sound is in its mix.
    virtual bool exportPlays() const { return false; }
};

// The DVD menu's audio mix, kept by the project manager for the menu's encoder.
class MenuAudioMixer {
public:
    virtual ~MenuAudioMixer() = default;
};
