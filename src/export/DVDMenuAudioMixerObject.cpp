#include "export/DVDMenuAudioMixerObject.h"

#include "platform/foundation/StandardPaths.h"

#include <cmath>

using platform::media::CompositionTrack;
using platform::media::MediaAsset;
using platform::media::MediaTime;
using platform::media::MixInputParameters;
using platform::media::TimeRange;

namespace {

MediaTime at(double seconds) {
    return MediaTime::fromSeconds(seconds);
}

// The whole seconds of a length, as the write position moves on.
double wholeSeconds(const MediaTime& length) {
    return length.isValid() ? static_cast<double>(length.value / length.timescale) : 0.0;
}

} // namespace

DVDMenuAudioMixerObject::DVDMenuAudioMixerObject(QStringList songPaths, double menuTotalDuration)
    : songs(std::move(songPaths)), total(std::isfinite(menuTotalDuration) ? menuTotalDuration : 0.0) {}

DVDMenuAudioMixerObject::~DVDMenuAudioMixerObject() {
    StopPlayingMixedAudio();
}

void DVDMenuAudioMixerObject::mixProjectAudio() {
    mixForPlaying = false;
    mixProjectAudio_Sub();
}

void DVDMenuAudioMixerObject::mixProjectAudioForPlaying() {
    mixForPlaying = true;
    mixProjectAudio_Sub();
}

void DVDMenuAudioMixerObject::mixProjectAudio_Sub() {
    insertTime = 0.0;
    params.clear();
    mix = platform::media::Composition();
    assets.clear();
    if (songs.isEmpty()) {
        laySilence();
        return;
    }
    for (;;) {
        const double passStart = insertTime;
        for (const QString& song : songs) {
            addBackgroudMusic(song);
            if (std::fabs(mix.duration().seconds() - total) < 0.8)
                return;
        }
        if (mixForPlaying)
            return;
        // Songs that are unreadable or all shorter than a second do not move the write position: passes
        // would repeat for ever.
        if (insertTime <= passStart) {
            padToTotal();
            return;
        }
    }
}

void DVDMenuAudioMixerObject::padToTotal() {
    if (mix.duration().seconds() < total)
        mix.addTrack().insertEmptyTimeRange(TimeRange::fromStartEnd(at(insertTime), at(total)));
}

void DVDMenuAudioMixerObject::laySilence() {
    CompositionTrack& track = mix.addTrack();
    const MediaAsset& silence = assets.open(platform::paths::pathForResource("silence1s", "mp3"));
    if (silence.hasAudio()) {
        const TimeRange source = silence.audioTimeRange();
        const double seconds = source.duration.seconds();
        const MediaTime length = at(seconds + insertTime > total ? total - insertTime : seconds);
        if (track.insertTimeRange({source.start, length}, silence, at(insertTime)))
            insertTime += wholeSeconds(length);
    }
    if (std::fabs(insertTime - total) > 1.0)
        track.insertEmptyTimeRange(TimeRange::fromStartEnd(at(insertTime), at(total)));
}

bool DVDMenuAudioMixerObject::addBackgroudMusic(const QString& path) {
    if (path.isEmpty())
        return false;
    const MediaAsset& song = assets.open(path);
    CompositionTrack& track = mix.addTrack();
    if (!song.hasAudio())
        return false;
    const TimeRange source = song.audioTimeRange();
    const double d = source.duration.seconds();
    const double start = insertTime;
    const MediaTime length = at(d + start > total ? total - start : d);
    if (!track.insertTimeRange({source.start, length}, song, at(start)))
        return false;
    const double seconds = length.seconds();
    const double fade = mix_support::fadeLength(seconds);
    MixInputParameters levels(track.trackID());
    levels.setVolumeRamp(0.0f, kSongVolume, TimeRange::fromSeconds(start, fade));
    levels.setVolumeRamp(kSongVolume, 0.0f, TimeRange::fromSeconds(start + seconds - fade, fade));
    params.push_back(levels);
    insertTime += wholeSeconds(length);
    return true;
}

bool DVDMenuAudioMixerObject::AddSlideItemMusic(const QString& path, float start) {
    if (path.isEmpty())
        return false;
    const MediaAsset& sound = assets.open(path);
    if (!sound.hasAudio())
        return false;
    return mix.addTrack().insertTimeRange(sound.audioTimeRange(), sound, at(start));
}

bool DVDMenuAudioMixerObject::PlayMixedAudioFrom(double seconds) {
    return preview.playFrom(mix, audioMix(), seconds);
}

void DVDMenuAudioMixerObject::StopPlayingMixedAudio() {
    preview.stop();
}

void DVDMenuAudioMixerObject::seekToBegin() {
    preview.seekToBegin();
}
