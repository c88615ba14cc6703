#include "platform/media/SoundDevices.h"

#include <QAudioOutput>
#include <QMediaPlayer>

namespace platform::media {

namespace {

bool isReal(const QAudioDevice& device) {
    return !device.isNull() && !device.id().isEmpty();
}

} // namespace

QAudioDevice soundOutputDevice() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    return isReal(device) ? device : QAudioDevice();
}

QAudioDevice soundInputDevice() {
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    return isReal(device) ? device : QAudioDevice();
}

PlayerSoundOutput::PlayerSoundOutput(QMediaPlayer& mediaPlayer) : player(mediaPlayer) {
    connect(&devices, &QMediaDevices::audioOutputsChanged, this, &PlayerSoundOutput::follow);
    follow();
}

PlayerSoundOutput::~PlayerSoundOutput() {
    if (output && player.audioOutput() == output.get())
        player.setAudioOutput(nullptr);
}

void PlayerSoundOutput::setVolume(float value) {
    level = value;
    if (output)
        output->setVolume(value);
}

void PlayerSoundOutput::follow() {
    const QAudioDevice device = soundOutputDevice();
    if (device.isNull()) {
        if (output) {
            player.setAudioOutput(nullptr);
            output.reset();
        }
        return;
    }
    if (!output) {
        output = std::make_unique<QAudioOutput>(device);
        output->setVolume(level);
        player.setAudioOutput(output.get());
    } else if (output->device() != device) {
        output->setDevice(device);
    }
}

} // namespace platform::media
