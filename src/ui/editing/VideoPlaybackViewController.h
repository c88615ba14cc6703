#pragma once

#include "model/VideoSlideItem.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ClipMediaPlayer.h"

#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

#include <functional>
#include <memory>

class QVideoSink;

// The rules of the clip player's buttons, apart from any player.
struct ClipPlaybackRules {
    // 2 from anything slower, then 2 faster each time.
    static double fastForwardRate(double rate) { return rate < 2.0 ? 2.0 : rate + 2.0; }
    // -2 from anything faster, then 2 faster backwards each time.
    static double rewindRate(double rate) { return rate > -2.0 ? -2.0 : rate - 2.0; }
    // "Pause" only while playing at exactly normal speed.
    static QString playPauseTitle(double rate);
};

// Where the clip's frames show: black, with the newest frame fitted and centred.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    QVideoSink* videoSink() const { return sink; }
    QImage shownFrame() const { return frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVideoSink* sink;
    QImage frame;
};

// The player of one clip slide, shown in place of the preview: play/pause, fast forward, rewind and a time
// slider that follows the clip every tenth of a second. Rates the player cannot play (backwards) are played
// by stepping back on the scheduler. stopPlaying() ends it all before the view goes.
class VideoPlaybackViewController : public QWidget {
    Q_OBJECT
public:
    using PlayerFactory = std::function<std::unique_ptr<ClipMediaPlayer>()>;
    static constexpr double kObserverPeriod = 0.1;

    explicit VideoPlaybackViewController(std::shared_ptr<platform::Scheduler> scheduler,
                                         PlayerFactory makePlayer = &ClipMediaPlayer::makeDefault,
                                         QWidget* parent = nullptr);
    ~VideoPlaybackViewController() override;

    void loadVideoFromURL(const QString& path, std::shared_ptr<VideoSlideItem> slide);
    void stopPlaying();
    void playPauseToggle();
    void fastForward();
    void rewind();

    // The player is no document: it has no data to give and reads none. Both fail with an error of the
    // status domain, code -4 (not implemented); nothing in the window asks them.
    static constexpr char kOSStatusErrorDomain[] = "org.vistrelle.osstatus";
    static constexpr qint64 kUnimplementedError = -4;
    QByteArray dataOfType(const QString& typeName, platform::Error* error) const;
    bool readFromData(const QByteArray& data, const QString& typeName, platform::Error* error);

    double duration() const;
    double currentTime() const;
    // Seeks to whole seconds.
    void setCurrentTime(double seconds);
    double rate() const;
    ClipMediaPlayer* player() const { return mediaPlayer.get(); }
    std::shared_ptr<VideoSlideItem> videoSlideItem() const { return slide; }
    QWidget* toobarView() const { return toolbar; }
    void setToobarView(QWidget* view) { toolbar = view; }

    PlayerView* playerView() const { return view; }
    QProgressBar* loadingSpinner() const { return spinner; }
    QLabel* unplayableLabel() const { return unplayable; }
    QLabel* noVideoLabel() const { return noVideo; }
    QPushButton* playPauseButton() const { return playPause; }
    QPushButton* fastForwardButton() const { return forward; }
    QPushButton* rewindButton() const { return backward; }
    QSlider* timeSlider() const { return slider; }

private:
    void layOut();
    void statusChanged();
    void setUpPlayback();
    void stopLoadingAnimation();
    void enableButtons(bool enabled);
    void rateChanged(double rate);
    void startBackwardSteps(double rate);
    void stopBackwardSteps();
    void stepBackward();
    void showTime();

    std::shared_ptr<platform::Scheduler> clock;
    PlayerFactory factory;
    std::unique_ptr<ClipMediaPlayer> mediaPlayer;
    std::shared_ptr<VideoSlideItem> slide;
    QWidget* toolbar = nullptr;
    platform::Scheduler::Handle timeObserverToken;
    platform::Scheduler::Handle backwardSteps;
    double backwardRate = 0.0; // while stepping back
    PlayerView* view;
    QProgressBar* spinner;
    QLabel* unplayable;
    QLabel* noVideo;
    QPushButton* playPause;
    QPushButton* forward;
    QPushButton* backward;
    QSlider* slider;
};
