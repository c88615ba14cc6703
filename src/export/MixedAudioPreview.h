#pragma once

#include "platform/media/AudioPlayer.h"

#include <memory>
#include <mutex>

// The preview of a built mix: plays it from a position and, at its end, from its start again for as long
// as it plays. Any thread may start, stop or rewind it.
class MixedAudioPreview {
public:
    MixedAudioPreview() = default;
    ~MixedAudioPreview();
    MixedAudioPreview(const MixedAudioPreview&) = delete;
    MixedAudioPreview& operator=(const MixedAudioPreview&) = delete;

    // Drops the current player and plays the mix from `seconds` (see mix_support::previewStart) in a new
    // one. False when the sound output cannot start; the player is then dropped.
    bool playFrom(platform::media::Composition composition, platform::media::AudioMix mix, double seconds);
    void stop();
    void seekToBegin();
    // The player while one plays, else null; valid until the next playFrom or stop.
    platform::media::AudioPlayer* player() const;

private:
    mutable std::mutex mutex;
    std::unique_ptr<platform::media::AudioPlayer> current;
};
