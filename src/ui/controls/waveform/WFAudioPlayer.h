#pragma once

#include <QByteArray>
#include <QUrl>
#include <QVariantMap>

#include <cstdint>

// The properties of an audio player, and nothing more: no sound is played through it. The read-only ones
// keep their initial values.
class WFAudioPlayer {
public:
    bool isPlaying() const { return playing; }
    uint64_t numberOfChannels() const { return channels; }
    double duration() const { return seconds; }
    QUrl url() const { return source; }
    QByteArray data() const { return contents; }
    QVariantMap settings() const { return format; }

    float volume() const { return loudness; }
    void setVolume(float value) { loudness = value; }
    float rate() const { return speed; }
    void setRate(float value) { speed = value; }
    double currentTime() const { return position; }
    void setCurrentTime(double value) { position = value; }
    int64_t numberOfLoops() const { return loops; }
    void setNumberOfLoops(int64_t value) { loops = value; }
    bool isMeteringEnabled() const { return metering; }
    void setMeteringEnabled(bool value) { metering = value; }

private:
    bool playing = false;
    uint64_t channels = 0;
    double seconds = 0.0;
    QUrl source;
    QByteArray contents;
    QVariantMap format;
    float loudness = 1.0f;
    float speed = 1.0f;
    double position = 0.0;
    int64_t loops = 0;
    bool metering = false;
};
