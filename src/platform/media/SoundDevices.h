#pragma once

#include <QAudioDevice>
#include <QMediaDevices>
#include <QObject>

#include <memory>

class QAudioOutput;
class QMediaPlayer;

namespace platform::media {

// The machine's default sound output, or a null device when it has none (servers, remote desktops,
// test machines). Every player that listens asks here before it opens anything: Qt's renderers, handed
// a device that is not there, write to an output they never opened.
QAudioDevice soundOutputDevice();
// The same for sound input.
QAudioDevice soundInputDevice();

// Gives a media player a sound output while the machine has one, and takes it away when the last device
// goes: without an output the player plays on, silent. Follows the default device as devices come and go.
// Its owner destroys it before the player.
class PlayerSoundOutput : public QObject {
public:
    explicit PlayerSoundOutput(QMediaPlayer& player);
    ~PlayerSoundOutput() override;

    // Kept while no device is there, and given to the output made when one arrives.
    void setVolume(float level);
    bool hasOutput() const { return output != nullptr; }

private:
    void follow();

    QMediaPlayer& player;
    QMediaDevices devices;
    std::unique_ptr<QAudioOutput> output;
    float level = 1.0f;
};

} // namespace platform::media
