#pragma once

#include "ui/editing/ProjectSource.h"

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QVariant>
#include <QWidget>

#include <memory>

// The music strip: the project's songs as consecutive bands, each as wide as its song's share of the show,
// filled with a waveform pattern and labelled with the song's title and length. A click posts
// "NOTIFY_MUSIC_TIMELINE_CLICKED" with the pointer on the screen and in the window, y up as the receiver
// takes them.
class MusicTimelineView : public QWidget {
    Q_OBJECT
public:
    explicit MusicTimelineView(const QRect& frame = QRect(), QWidget* parent = nullptr);

    // Kept for callers; the drawing uses neither the background colour nor the width factors.
    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour) { background = colour; }
    QColor layer1Color() const { return firstLabel; }
    void setLayer1Color(const QColor& colour) { firstLabel = colour; }
    QColor layer2Color() const { return secondLabel; }
    void setLayer2Color(const QColor& colour) { secondLabel = colour; }
    float layer1WidthFactor() const { return firstWidth; }
    void setLayer1WidthFactor(float value) { firstWidth = value; }
    float layer2WidthFactor() const { return secondWidth; }
    void setLayer2WidthFactor(float value) { secondWidth = value; }
    QVariantList songDrawInfoArray() const { return records; }
    void setSongDrawInfoArray(const QVariantList& value) { records = value; }
    QVariant numberAlphaFactor() const { return alphaFactor; }
    void setNumberAlphaFactor(const QVariant& value) { alphaFactor = value; }
    QImage imageWaveform1() const { return waveform1; }
    QImage imageWaveform2() const { return waveform2; }
    void refreshDisplay() {}

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void postClick(const QMouseEvent& event);

    QColor background = Qt::black;
    QColor firstLabel = QColor::fromRgbF(0.3f, 0.6f, 0.3f, 0.8f);
    QColor secondLabel = QColor::fromRgbF(0.3f, 0.3f, 0.6f, 0.8f);
    float firstWidth = 0.42f;
    float secondWidth = 0.0f;
    QVariantList records;
    QVariant alphaFactor;
    QImage waveform1, waveform2;
};

// The play indicator's marker: "indicator-1.png".
class TimelinePlayingIndicatorView : public QLabel {
    Q_OBJECT
public:
    explicit TimelinePlayingIndicatorView(QWidget* parent = nullptr);
    QImage imageShow() const { return picture; }

private:
    QImage picture;
};

// Builds the music strip's song records from the open project and moves the play indicator. The main window
// controller makes one at start-up and gives it no host, so the strip stays off screen (the song waveform
// views carry the music track); with a host, the strip and the marker go into it.
class MusicTimelineViewController : public QObject {
    Q_OBJECT
public:
    // The strip shows the songs of the project.
    explicit MusicTimelineViewController(ProjectSource project, QObject* parent = nullptr);
    ~MusicTimelineViewController() override;

    // The strip, made on first use (0, 0, 500, 30) inside the host when there is one.
    MusicTimelineView* view();
    QWidget* timelineContentView() const { return host; }
    void setTimelineContentView(QWidget* hostView) { host = hostView; }
    TimelinePlayingIndicatorView* tlPlayingIndicatorView() const { return indicator; }
    QPointF ptLastTouchForPop() const { return lastTouch; }
    void setPtLastTouchForPop(const QPointF& point) { lastTouch = point; }

    // Puts the strip (made when missing) into `hostView` at `frame`; true.
    bool createMusicTimelineViewIfNecessary(QWidget* hostView, const QRect& frame);
    // The song records again, after every change of the song list.
    void respondMusicArrayChanged();
    void refreshPlayintIndicator(quint64 currentFrame, quint64 totalFrames);
    void stopRefreshPlayintIndicator();
    void musicTimelineClicked() {}
    void updateLandscapeView() {}

private:
    void loadView();
    void adoptInto(QWidget* parent);
    void placeIndicator(double x);

    ProjectSource projectSource;
    std::unique_ptr<MusicTimelineView> unhostedStrip; // the strip while no host holds it
    QPointer<MusicTimelineView> strip;
    QPointer<QWidget> host;
    std::unique_ptr<TimelinePlayingIndicatorView> unhostedIndicator;
    QPointer<TimelinePlayingIndicatorView> indicator;
    QPointF lastTouch;
};
