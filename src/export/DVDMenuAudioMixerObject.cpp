#include "export/DVDMenuAudioMixerObject.h"

#include "platform/foundation/StandardPaths.h"

#include <cmath>

using platform::media::CompositionTrack;
using platform::media::MediaAsset;
using platform::media::MediaTime;
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
    if (const auto length = mix_support::insertUpTo(track, silence, insertTime, total))
        insertTime += wholeSeconds(*length);
    mix_support::fillGap(track, insertTime, total);
}

bool DVDMenuAudioMixerObject::addBackgroudMusic(const QString& path) {
    if (path.isEmpty())
        return false;
    const MediaAsset& song = assets.openSong(path);
    CompositionTrack& track = mix.addTrack();
    const auto length = mix_support::insertUpTo(track, song, insertTime, total);
    if (!length)
        return false;
    params.push_back(mix_support::fadedLevels(track.trackID(), kSongVolume, insertTime, length->seconds()));
    insertTime += wholeSeconds(*length);
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
