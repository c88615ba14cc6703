#pragma once

#include <QObject>
#include <QUrl>

// What the audio-preview view needs of a media player: its current item, its clock and its transport.
// WFMediaPlayer plays through Qt; tests put a fake in its place.
class WFPreviewPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The current item's file; empty when there is none.
    virtual QUrl source() const = 0;
    // Seconds into the current item.
    virtual double currentTime() const = 0;
    virtual bool isPlaying() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void seek(double seconds) = 0;

signals:
    // Another item became current.
    void sourceChanged();
};
