#include "ui/controls/waveform/WFMediaPlayer.h"

#include "platform/media/SoundDevices.h"

#include <QMediaPlayer>

#include <algorithm>
#include <cmath>

WFMediaPlayer::WFMediaPlayer(QObject* parent)
    : WFPreviewPlayer(parent), player(new QMediaPlayer(this)),
      sound(std::make_unique<platform::media::PlayerSoundOutput>(*player)) {
    connect(player, &QMediaPlayer::sourceChanged, this, &WFPreviewPlayer::sourceChanged);
}

WFMediaPlayer::~WFMediaPlayer() = default;

QUrl WFMediaPlayer::source() const {
    return player->source();
}

double WFMediaPlayer::currentTime() const {
    return static_cast<double>(player->position()) / 1000.0;
}

bool WFMediaPlayer::isPlaying() const {
    return player->playbackState() == QMediaPlayer::PlayingState;
}

void WFMediaPlayer::play() {
    player->play();
}

void WFMediaPlayer::pause() {
    player->pause();
}

void WFMediaPlayer::seek(double seconds) {
    player->setPosition(std::max<qint64>(std::llround(seconds * 1000.0), 0));
}
