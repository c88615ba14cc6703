#include "export/MixedAudioPreview.h"

#include "export/MixSupport.h"

#include <utility>

using platform::media::AudioPlayer;
using platform::media::MediaTime;

MixedAudioPreview::~MixedAudioPreview() {
    stop();
}

bool MixedAudioPreview::playFrom(platform::media::Composition composition, platform::media::AudioMix mix,
                                 double seconds) {
    stop();
    auto player = std::make_unique<AudioPlayer>(std::move(composition), std::move(mix));
    AudioPlayer* raw = player.get();
    // The player outlives no call of its handler: stopping it ends its sink's pulls first.
    player->setEndHandler([raw] { raw->seek(MediaTime::zero()); });
    const double start = mix_support::previewStart(seconds, player->duration().seconds());
    player->seek(MediaTime::fromSeconds(start));
    if (!player->play())
        return false;
    std::unique_ptr<AudioPlayer> old; // a rival start's player, let go outside the lock
    {
        std::lock_guard lock(mutex);
        old = std::exchange(current, std::move(player));
    }
    return true;
}

void MixedAudioPreview::stop() {
    std::unique_ptr<AudioPlayer> old;
    {
        std::lock_guard lock(mutex);
        old = std::move(current);
    }
    if (old) {
        old->pause();
        old->stop();
    }
}

void MixedAudioPreview::seekToBegin() {
    std::lock_guard lock(mutex);
    if (current)
        current->seek(MediaTime::zero());
}

AudioPlayer* MixedAudioPreview::player() const {
    std::lock_guard lock(mutex);
    return current.get();
}
