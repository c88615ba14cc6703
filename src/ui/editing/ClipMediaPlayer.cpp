#include "ui/editing/ClipMediaPlayer.h"

#include "platform/media/SoundDevices.h"

#include <QMediaPlayer>
#include <QUrl>

namespace {

// Qt's player: its loading states become ours, protected content is never reported, and it plays forwards
// only (backends differ on negative rates, so the clip player steps backwards itself).
class QtClipMediaPlayer : public ClipMediaPlayer {
public:
    QtClipMediaPlayer()
        : player(new QMediaPlayer(this)),
          sound(std::make_unique<platform::media::PlayerSoundOutput>(*player)) {
        connect(player, &QMediaPlayer::mediaStatusChanged, this, &QtClipMediaPlayer::mediaStatusChanged);
        connect(player, &QMediaPlayer::errorOccurred, this, [this] {
            if (state != Status::Failed) {
                state = Status::Failed;
                emit statusChanged();
            }
        });
        connect(player, &QMediaPlayer::playbackStateChanged, this, [this] { emit rateChanged(rate()); });
        connect(player, &QMediaPlayer::playbackRateChanged, this, [this] { emit rateChanged(rate()); });
    }

    void setSource(const QString& path) override { player->setSource(QUrl::fromLocalFile(path)); }
    void setVideoSink(QVideoSink* sink) override { player->setVideoSink(sink); }
    Status status() const override { return state; }
    bool hasVideo() const override { return player->hasVideo(); }
    void play() override { player->play(); }
    void pause() override { player->pause(); }
    double rate() const override {
        return player->playbackState() == QMediaPlayer::PlayingState ? player->playbackRate() : 0.0;
    }
    bool setRate(double rate) override {
        if (rate <= 0.0)
            return false;
        player->setPlaybackRate(rate);
        player->play();
        return true;
    }
    double position() const override { return double(player->position()) / 1000.0; }
    void setPosition(double seconds) override { player->setPosition(qint64(seconds * 1000.0)); }
    double duration() const override { return double(player->duration()) / 1000.0; }
    void setVolume(float level) override { sound->setVolume(level); }
    bool hasSoundOutput() const override { return sound->hasOutput(); }

private:
    void mediaStatusChanged(QMediaPlayer::MediaStatus media) {
        Status next = state;
        if (media == QMediaPlayer::LoadedMedia || media == QMediaPlayer::BufferedMedia)
            next = player->hasVideo() || player->hasAudio() ? Status::Ready : Status::Unplayable;
        else if (media == QMediaPlayer::InvalidMedia)
            next = Status::Unplayable;
        if (next != state && state != Status::Ready) {
            state = next;
            emit statusChanged();
        }
    }

    QMediaPlayer* player;
    std::unique_ptr<platform::media::PlayerSoundOutput> sound; // goes before the player

    Status state = Status::Loading;
};

} // namespace

std::unique_ptr<ClipMediaPlayer> ClipMediaPlayer::makeDefault() {
    return std::make_unique<QtClipMediaPlayer>();
}
