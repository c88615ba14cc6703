#pragma once

#include "model/MusicItem.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class PlayableAudioMixer;

// Starts and stops the preview's music: each start has a new mixer mix the open project's sound and
// play it from the given time. The mixers are made by the layer that builds them, through the factory.
class MusicDirector {
public:
    using MixerFactory = std::function<std::shared_ptr<PlayableAudioMixer>()>;
    static void setAudioMixerFactory(MixerFactory factory);

    std::vector<MusicItemRef> musicArray() const;
    static double totalDurationFromArray(const std::vector<MusicItemRef>& songs);
    double totalDuration() const { return totalDurationFromArray(musicArray()); }

    // Replaces the open project's mixer by a new one, which mixes and plays from `seconds`. Answers
    // true, as there is nothing a caller could do about a mixer that cannot play.
    bool playFromLocation(double seconds);
    void play() { playFromLocation(0.0); }
    // Stops the open project's mixer, leaving it installed.
    void stop();

    bool bIsPlayingSlideshow() const { return playingSlideshow; }
    void setBIsPlayingSlideshow(bool value) { playingSlideshow = value; }
    MusicItemRef currentPlayMusicItem() const { return currentSong; }
    void setCurrentPlayMusicItem(MusicItemRef song) { currentSong = std::move(song); }

private:
    std::atomic<bool> playingSlideshow{false};
    MusicItemRef currentSong;
};
