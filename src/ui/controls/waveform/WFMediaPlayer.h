#pragma once

#include "ui/controls/waveform/WFPreviewPlayer.h"

#include <memory>

class QMediaPlayer;

namespace platform::media {
class PlayerSoundOutput;
}

// The preview player on Qt's media player, which it owns with its sound output (none on a machine without
// sound, where it plays silent): give it a source through mediaPlayer().
class WFMediaPlayer : public WFPreviewPlayer {
    Q_OBJECT
public:
    explicit WFMediaPlayer(QObject* parent = nullptr);
    ~WFMediaPlayer() override;

    QMediaPlayer& mediaPlayer() const { return *player; }

    QUrl source() const override;
    double currentTime() const override;
    bool isPlaying() const override;
    void play() override;
    void pause() override;
    // Whole milliseconds, from 0.
    void seek(double seconds) override;

private:
    QMediaPlayer* player;
    std::unique_ptr<platform::media::PlayerSoundOutput> sound; // goes before the player
};
