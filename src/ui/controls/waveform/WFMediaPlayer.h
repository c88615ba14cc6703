#pragma once

#include "ui/controls/waveform/WFPreviewPlayer.h"

class QMediaPlayer;

// The preview player on Qt's media player, which it owns: give it a source and an audio output through
// mediaPlayer().
class WFMediaPlayer : public WFPreviewPlayer {
    Q_OBJECT
public:
    explicit WFMediaPlayer(QObject* parent = nullptr);

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
};
