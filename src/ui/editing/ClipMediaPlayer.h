#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QVideoSink;

// What the clip player needs of a media player, so that tests can put a scripted one in its place. Times
// are seconds. rate() is the effective rate: 0 while paused, else the speed it plays at.
class ClipMediaPlayer : public QObject {
    Q_OBJECT
public:
    enum class Status { Loading, Ready, Failed, Unplayable };

    using QObject::QObject;
    ~ClipMediaPlayer() override = default;

    virtual void setSource(const QString& path) = 0;
    virtual void setVideoSink(QVideoSink* sink) = 0;
    virtual Status status() const = 0;
    virtual bool hasVideo() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual double rate() const = 0;
    // Plays at the rate; false, changing nothing, when the player cannot play at it (backwards, say).
    virtual bool setRate(double rate) = 0;
    virtual double position() const = 0;
    virtual void setPosition(double seconds) = 0;
    virtual double duration() const = 0;
    virtual void setVolume(float level) = 0;
    // Whether the player is heard: false on a machine without a sound output, where it plays silent.
    virtual bool hasSoundOutput() const { return false; }

    // The player on Qt Multimedia, with a sound output while the machine has one.
    static std::unique_ptr<ClipMediaPlayer> makeDefault();

signals:
    void statusChanged();
    void rateChanged(double rate);
};
