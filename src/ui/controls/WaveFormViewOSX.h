#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "ui/controls/SpinningProgressIndicator.h"
#include "ui/controls/WaveSampleProvider.h"

#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <QWidget>

#include <memory>
#include <vector>

namespace platform::media {
class AudioPlayer;
}

// One background song as a small dark panel: a rounded frame, the song's peaks mirrored about a centre
// line, a status line with the title and the length "mm:ss", and a spinner while the song is read. It
// draws one cached picture of its whole content, made again after each resize and when the song is read.
// A double click, a control-click or a right click posts "NSNOTIFY_SHOW_MUSIC_LIST".
//
// Its rectangles are in the panel's own y-up space, as the drawing describes them; they are turned into the
// widget's once, where they are drawn.
class WaveFormViewOSX : public QWidget, public WaveSampleProviderDelegate {
    Q_OBJECT
public:
    static constexpr int kResolution = 8000;

    explicit WaveFormViewOSX(
        const QRect& frame = QRect(0, 0, 500, 30), QWidget* parent = nullptr,
        std::shared_ptr<platform::Scheduler> scheduler = platform::Scheduler::mainThreadScheduler());
    ~WaveFormViewOSX() override;

    // Starts over with the song: no outline, the spinner turning, a new provider reading it. The title
    // stands for the file's name (a song's copy has a name of its own) until the file's tags give one.
    void openAudioURL(const QUrl& url, const QString& title = QString());

    // WaveSampleProviderDelegate
    void statusUpdated(WaveSampleProvider& provider, int status, const QString& message) override;
    void sampleProcessed(WaveSampleProvider& provider, int status) override;

    // n values make the outline (0, 0), (i, value i) for i = 1 ... n, (n + 1, 0); the spinner stops.
    void setSampleData(const std::vector<float>& values, int n);
    // With the song's title known, "<text> (<title>)".
    void setInfoString(const QString& text);
    void setTimeString(const QString& text);

    QString infoString() const { return info; }
    QString timeString() const { return time; }
    const std::vector<QPointF>& sampleData() const { return outline; }
    int sampleLength() const { return int(outline.size()); }
    WaveSampleProvider* wsp() const { return provider.get(); }
    SpinningProgressIndicator* progress() const { return spinner; }
    QPixmap imgBackground() const { return background; }

    // 0 from the start; the view shows no playing position.
    float playProgress() const { return progressOfPlay; }
    void setPlayProgress(float value) { progressOfPlay = value; }

    // y-up, from the bounds.
    QRectF statusRect() const;
    QRectF waveRect() const;
    QRectF progressRect() const;
    // Where the play and pause glyphs go: an empty rectangle, so the panel never shows them.
    QRectF playRect() const { return QRectF(); }
    // A y-up rectangle of the panel in widget coordinates.
    QRectF toWidget(const QRectF& rect) const;

    // Draws the whole panel into the cached picture (none for a panel without area).
    void createBackgroundImage();
    // Text centred in a y-up rectangle of the panel, in the status line's font, clipped to the rectangle.
    void drawTextCentered(QPainter& painter, const QString& text, const QRectF& rect, const QColor& colour);
    // The play triangle and the pause bars, green outlined in dark grey, in playRect or the rectangle given
    // (y-up).
    void drawPlay(QPainter& painter) { drawPlay(painter, playRect()); }
    void drawPlay(QPainter& painter, const QRectF& rect);
    void drawPause(QPainter& painter) { drawPause(painter, playRect()); }
    void drawPause(QPainter& painter, const QRectF& rect);
    // The view has no player of its own: nothing here makes one.
    void startAudio() {}
    void pauseAudio();
    void StopPlayingNotify(const platform::Notification& notification);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void drawRect_Sub(QPainter& painter);
    void drawRoundRect(QPainter& painter, const QRectF& rect, const QColor& fill, const QColor& stroke,
                       double radius, double lineWidth);
    void drawWave(QPainter& painter);
    void drawText(QPainter& painter, const QString& text, const QRectF& rect, Qt::Alignment alignment,
                  const QColor& colour);
    void placeProgress();

    std::unique_ptr<WaveSampleProvider> provider;
    QPointer<SpinningProgressIndicator> spinner;
    std::vector<QPointF> outline;
    QString info;
    QString time;
    std::unique_ptr<platform::media::AudioPlayer> player;
    QPixmap background;
    float progressOfPlay = 0.0f;
    platform::ObserverHandle stopObserver;
    platform::MainThreadGate gate; // last, so closed first: the observer posts to the main thread through it
};
