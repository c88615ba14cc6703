#pragma once

#include "platform/media/TimeRange.h"

#include <cstddef>
#include <vector>

namespace platform::media {

// The volume envelope of one composition track: steps and linear ramps on the composition's timeline.
// Before the first event the level is 1.0; inside a ramp it moves linearly from its start level to its end
// level; after an event its end level holds; an event that starts later takes over from its start, also in
// the middle of an earlier ramp.
class MixInputParameters {
public:
    struct Event {
        MediaTime start;
        MediaTime end; // equal to start for a step
        float from = 1.0f;
        float to = 1.0f;
    };

    explicit MixInputParameters(int32_t trackID = 0) : id(trackID) {}

    int32_t trackID() const { return id; }
    void setTrackID(int32_t trackID) { id = trackID; }

    // A ramp over a range of no length, or of a negative one, is a step to its end level at its start: a
    // fade too short to be heard must still leave the level it aims for. False, recording nothing, for an
    // invalid start.
    bool setVolumeRamp(float startVolume, float endVolume, const TimeRange& range);
    bool setVolume(float volume, const MediaTime& at);

    float volumeAt(const MediaTime& time) const;
    float volumeAt(double seconds) const;
    // Levels at count successive sample instants (first + i) / sampleRate seconds.
    void fillVolumes(int64_t firstSample, int count, int sampleRate, float* volumes) const;

    // In order of start; events starting together keep the order they were set in.
    const std::vector<Event>& events() const { return timeline; }

private:
    void insert(const Event& event);
    float levelOf(std::size_t index, double seconds) const;

    int32_t id;
    std::vector<Event> timeline;
    std::vector<double> starts; // seconds of the events' starts, for the sample-rate lookups
    std::vector<double> ends;
};

} // namespace platform::media
