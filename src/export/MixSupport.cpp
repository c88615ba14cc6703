#include "export/MixSupport.h"

#include "model/SlideshowProject.h"

#include <algorithm>
#include <cmath>

namespace mix_support {

double fadeLength(double seconds) {
    const double fade = std::min(seconds * 0.5 - 0.1, 3.0);
    return std::isfinite(fade) && fade > 0.0 ? fade : 0.0;
}

double previewStart(double seconds, double length) {
    if (!std::isfinite(length) || length <= 0.0 || !std::isfinite(seconds))
        return 0.0;
    if (seconds <= length)
        return seconds;
    // The same as taking the length away while the position is beyond it, without a loop of s / D turns.
    const double turns = std::ceil(seconds / length) - 1.0;
    const double start = seconds - turns * length;
    return start > length ? start - length : (start > 0.0 ? start : length);
}

std::optional<platform::media::MediaTime> insertUpTo(platform::media::CompositionTrack& track,
                                                     const platform::media::MediaAsset& asset, double start,
                                                     double total) {
    using platform::media::MediaTime;
    if (!asset.hasAudio())
        return std::nullopt;
    const platform::media::TimeRange source = asset.audioTimeRange();
    const double seconds = source.duration.seconds();
    const MediaTime length = MediaTime::fromSeconds(seconds + start > total ? total - start : seconds);
    if (!track.insertTimeRange({source.start, length}, asset, MediaTime::fromSeconds(start)))
        return std::nullopt;
    return length;
}

bool passTooShortToRepeat(double passStart, double passEnd) {
    const double frame = 1.0 / double(std::max<unsigned long>(SlideshowProject::ulFrameRate(), 1));
    return !(passEnd - passStart >= frame);
}

void fillGap(platform::media::CompositionTrack& track, double start, double total) {
    using platform::media::MediaTime;
    if (std::fabs(start - total) > 1.0)
        track.insertEmptyTimeRange(platform::media::TimeRange::fromStartEnd(MediaTime::fromSeconds(start),
                                                                            MediaTime::fromSeconds(total)));
}

platform::media::MixInputParameters fadedLevels(int32_t trackID, float level, double start, double seconds) {
    using platform::media::TimeRange;
    const double fade = fadeLength(seconds);
    platform::media::MixInputParameters levels(trackID);
    levels.setVolumeRamp(0.0f, level, TimeRange::fromSeconds(start, fade));
    levels.setVolumeRamp(level, 0.0f, TimeRange::fromSeconds(start + seconds - fade, fade));
    return levels;
}

QStringList AssetCache::unreadable() const {
    QStringList paths;
    for (const QString& path : asked)
        if (const auto opened = assets.find(path);
            opened == assets.end() || !opened->second.isValid() || lacking.contains(path))
            paths << path;
    return paths;
}

const platform::media::MediaAsset& AssetCache::openSong(const QString& path) {
    const platform::media::MediaAsset& song = open(path);
    const double seconds = song.hasAudio() ? song.audioTimeRange().duration.seconds() : 0.0;
    const auto length = recorded.find(path);
    const bool cutShort =
        length != recorded.end() && platform::media::isClearlyShorter(seconds, length->second);
    if ((!(seconds > 0.0) || cutShort) && !lacking.contains(path))
        lacking << path;
    return song;
}

void AssetCache::expectSongLengths(const std::vector<std::shared_ptr<MusicItem>>& songs,
                                   const QString& contents) {
    for (const auto& song : songs)
        if (const std::optional<double> seconds = song ? song->recordedDuration() : std::nullopt)
            recorded[song->strFilePathIn(contents)] = *seconds;
}

void AssetCache::refuse(const QString& path) {
    if (!asked.contains(path))
        asked << path;
}

const platform::media::MediaAsset& AssetCache::open(const QString& path) {
    auto found = assets.find(path);
    if (found == assets.end()) {
        found = assets.emplace(path, platform::media::MediaAsset::open(path, true)).first;
        asked << path;
    }
    return found->second;
}

} // namespace mix_support
