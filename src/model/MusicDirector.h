#pragma once

#include "model/MusicItem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class PlayableAudioMixer;
namespace platform::media {
class AudioPlayer;
}

// Starts and stops the preview's music: each start has a new mixer mix the open project's sound and
// play it from the given time. The mixers are made by the layer that builds them, through the factory.
//
// It also keeps the earlier per-song player, which played the songs one after another, each through a
// player of its own, going round the list. It plays through the platform's sound output, silent where a
// machine has none. Main thread only.
class MusicDirector {
public:
    using MixerFactory = std::function<std::shared_ptr<PlayableAudioMixer>()>;
    static void setAudioMixerFactory(MixerFactory factory);

    MusicDirector();
    ~MusicDirector();
    MusicDirector(const MusicDirector&) = delete;
    MusicDirector& operator=(const MusicDirector&) = delete;

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

    // ---- the per-song player
    // Plays the song that the list, repeated, holds at `seconds`, from that point in it. False for an
    // empty list, songs of no length, or a song that does not play.
    bool playFromLocation_old(double seconds);
    // The song the list, repeated round after round, holds at `seconds`, and how far into it that is. False
    // (index 0, offset 0.3) for an empty list, a list shorter than 0.1 s a round, or a time that is no
    // number of seconds.
    bool findSongLocation(double seconds, int& index, double& offset) const;
    // Plays the song at index (taken round the list) from `startLoc` seconds, once. False, with no player,
    // for an empty list or a song whose file is missing or holds no sound.
    bool playFromSongIndex(int index, double startLoc);
    // The song after the current one, from its start; the first after the last. A list shorter than
    // 0.1 s a round is not gone round: the player stops.
    void next();
    // The player's end: the next song.
    void audioPlayerDidFinishPlaying(bool successfully);
    void audioPlayerDecodeErrorDidOccur(const QString& error);
    void timerEvent() {}
    void stop_old();

    platform::media::AudioPlayer* audioPlayer() const { return player.get(); }
    void setAudioPlayer(std::unique_ptr<platform::media::AudioPlayer> audioPlayer);
    int currentSongPlayingIndex() const { return currentSongIndex; }
    double currentSongPlayingTime() const { return currentSongTime; }
    double totalSongPlayingTime() const { return totalSongTime; }
    bool bCmdPlayRequest() const { return cmdPlayRequest; }
    void setBCmdPlayRequest(bool value) { cmdPlayRequest = value; }
    bool bStartPlayingForRequest() const { return startPlayingForRequest; }
    void setBStartPlayingForRequest(bool value) { startPlayingForRequest = value; }

private:
    // Stops and lets go of the player; the new player generation.
    std::uint64_t releasePlayer();

    std::atomic<bool> playingSlideshow{false};
    MusicItemRef currentSong;

    std::unique_ptr<platform::media::AudioPlayer> player;
    std::uint64_t playerGeneration = 0; // the player whose end counts
    int currentSongIndex = 0;
    double currentSongTime = 0.0;
    double totalSongTime = 0.0;
    bool cmdPlayRequest = false;
    bool startPlayingForRequest = false;
    // Lets the end of a song, heard on the sound output's thread, reach this director on the main thread
    // only while it lives.
    std::shared_ptr<MusicDirector*> self;
};
