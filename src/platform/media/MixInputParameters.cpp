#include "platform/media/MixInputParameters.h"

#include <algorithm>

namespace platform::media {

bool MixInputParameters::setVolumeRamp(float startVolume, float endVolume, const TimeRange& range) {
    if (!range.start.isValid())
        return false;
    if (!range.isValid() || range.duration.value <= 0)
        return setVolume(endVolume, range.start);
    insert({range.start, range.end(), startVolume, endVolume});
    return true;
}

bool MixInputParameters::setVolume(float volume, const MediaTime& at) {
    if (!at.isValid())
        return false;
    insert({at, at, volume, volume});
    return true;
}

void MixInputParameters::insert(const Event& event) {
    const auto place = std::upper_bound(timeline.begin(), timeline.end(), event.start,
                                        [](const MediaTime& t, const Event& e) { return t < e.start; });
    const auto index = place - timeline.begin();
    timeline.insert(place, event);
    starts.insert(starts.begin() + index, event.start.seconds());
    ends.insert(ends.begin() + index, event.end.seconds());
}

float MixInputParameters::levelOf(size_t index, double seconds) const {
    const Event& event = timeline[index];
    const double start = starts[index];
    const double end = ends[index];
    if (seconds >= end || end <= start)
        return event.to;
    const double progress = (seconds - start) / (end - start);
    return static_cast<float>(event.from + (event.to - event.from) * progress);
}

float MixInputParameters::volumeAt(const MediaTime& time) const {
    const auto after = std::upper_bound(timeline.begin(), timeline.end(), time,
                                        [](const MediaTime& t, const Event& e) { return t < e.start; });
    if (after == timeline.begin())
        return 1.0f;
    const size_t index = static_cast<size_t>(after - timeline.begin()) - 1;
    if (time >= timeline[index].end)
        return timeline[index].to;
    return levelOf(index, time.seconds());
}

float MixInputParameters::volumeAt(double seconds) const {
    const auto after = std::upper_bound(starts.begin(), starts.end(), seconds);
    if (after == starts.begin())
        return 1.0f;
    return levelOf(static_cast<size_t>(after - starts.begin()) - 1, seconds);
}

void MixInputParameters::fillVolumes(int64_t firstSample, int count, int sampleRate, float* volumes) const {
    if (timeline.empty()) {
        std::fill_n(volumes, count, 1.0f);
        return;
    }
    // Walk the events forward instead of searching for every sample.
    const double firstSeconds = static_cast<double>(firstSample) / sampleRate;
    size_t next =
        static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), firstSeconds) - starts.begin());
    for (int i = 0; i < count; ++i) {
        const double seconds = static_cast<double>(firstSample + i) / sampleRate;
        while (next < starts.size() && starts[next] <= seconds)
            ++next;
        volumes[i] = next == 0 ? 1.0f : levelOf(next - 1, seconds);
    }
}

} // namespace platform::media
