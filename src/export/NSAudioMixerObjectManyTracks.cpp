// The mixer's earlier builds, which put every song on a composition track of its own instead of laying
// them end to end on one background track.
#include "export/NSAudioMixerObject.h"

#include <cmath>
#include <limits>

using platform::media::CompositionTrack;
using platform::media::MediaAsset;
using platform::media::MediaTime;
using platform::media::MixInputParameters;
using platform::media::TimeRange;

namespace {

constexpr float kOldSongVolume = 0.9f;
// Songs stop being added once they reach the slideshow's length within this.
constexpr double kReachTolerance = 0.8;

} // namespace

void NSAudioMixerObject::mixProjectAudio_Sub_ManyBKCompositionTrack() {
    startBuild();
    const auto owner = mixedProject();
    if (!owner)
        return;
    const double total = totalDuration();
    const auto songs = owner->musicArray();
    const QString contents = owner->strMacProjectBundleContentsPath();
    if (songs.empty())
        laySilence(mix.addTrack(), total);
    while (!songs.empty()) {
        const double passStart = insertTime;
        bool reached = false;
        for (const auto& song : songs) {
            addBackgroudMusic(song->strFilePathIn(contents));
            // Where the songs have got to, not the composition's end: without the loop flag each song's
            // track runs on in silence past the end, and the second song would never be laid.
            if (std::fabs(insertTime - total) < kReachTolerance) {
                reached = true;
                break;
            }
        }
        // A pass that laid nothing (every song unreadable) would repeat for ever, one that laid a few
        // milliseconds tens of thousands of times, each on a track of its own.
        if (reached || !owner->bBackgroundMusicLoopFlag() || mixForPlaying ||
            mix_support::passTooShortToRepeat(passStart, insertTime))
            break;
    }
    addAudioLayers(*owner);
    addSlideSounds(*owner, SlideSounds::WithCompositions);
}

void NSAudioMixerObject::mixProjectAudio_Old() {
    startBuild();
    const auto owner = mixedProject();
    if (!owner)
        return;
    const QString contents = owner->strMacProjectBundleContentsPath();
    for (const auto& song : owner->musicArray())
        addBackgroudMusic(song->strFilePathIn(contents));
    addAudioLayers(*owner);
    addSlideSounds(*owner, SlideSounds::AllAtSlideStart);
}

bool NSAudioMixerObject::addBackgroudMusic(const QString& path) {
    const auto owner = mixedProject();
    return addBackgroudMusicWithManyCompositionTrackBK(
        path, owner ? owner->fltBackgroundMusicVolumeWhenPhotos() : 0.0f);
}

std::optional<MediaTime> NSAudioMixerObject::laySongOnNewTrack(const QString& path, double total,
                                                               int32_t* trackID) {
    if (path.isEmpty())
        return std::nullopt;
    const MediaAsset& song = assets.open(path);
    CompositionTrack& track = mix.addTrack();
    const int32_t id = track.trackID();
    const auto length = mix_support::insertUpTo(track, song, insertTime, total);
    if (!length) {
        mix.removeTrack(id); // a song that cannot be laid adds nothing
        return std::nullopt;
    }
    *trackID = id;
    return length;
}

void NSAudioMixerObject::padSongTrack(CompositionTrack& track, double total) {
    const auto owner = mixedProject();
    if (!owner || owner->bBackgroundMusicLoopFlag())
        return;
    // From the song's end: silence inserted inside it would push its tail past the gap.
    const MediaTime end = track.endTime();
    const MediaTime padded = MediaTime::fromSeconds(total + 0.5);
    if (end < padded)
        track.insertEmptyTimeRange(TimeRange::fromStartEnd(end, padded));
}

bool NSAudioMixerObject::addBackgroudMusicWithManyCompositionTrackBK(const QString& path, float volume) {
    const double total = totalDuration();
    int32_t id = 0;
    const auto length = laySongOnNewTrack(path, total, &id);
    if (!length)
        return false;
    params.push_back(mix_support::fadedLevels(id, volume, insertTime, length->seconds()));
    insertTime += length->seconds();
    padSongTrack(*mix.track(id), total);
    return true;
}

bool NSAudioMixerObject::addBackgroudMusic_old(const QString& path) {
    // The whole song: nothing cuts it at the slideshow's end.
    int32_t id = 0;
    const auto length = laySongOnNewTrack(path, std::numeric_limits<double>::infinity(), &id);
    if (!length)
        return false;
    MixInputParameters levels(id);
    levels.setVolumeRamp(kOldSongVolume, kOldSongVolume, assets.open(path).audioTimeRange());
    params.push_back(levels);
    insertTime += double(length->value / length->timescale);
    padSongTrack(*mix.track(id), totalDuration());
    return true;
}

bool NSAudioMixerObject::addAudioLayerMusic(const MusicItem& item) {
    const auto owner = mixedProject();
    const QString path = item.strFilePathIn(owner ? owner->strMacProjectBundleContentsPath() : QString());
    if (path.isEmpty())
        return false;
    const MediaAsset& sound = assets.open(path);
    if (!sound.hasAudio())
        return false;
    CompositionTrack& track = mix.addTrack();
    const MediaTime start(static_cast<int64_t>(item.fStartPosition()), 1);
    if (track.insertTimeRange(sound.audioTimeRange(), sound, start))
        return true;
    mix.removeTrack(track.trackID());
    return false;
}

void NSAudioMixerObject::addAudioLayers(const SlideshowProject& owner) {
    for (const MusicItemRef& layer : owner.audioLayerArray())
        if (layer)
            addAudioLayerMusic(*layer);
}
