#pragma once

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
};
