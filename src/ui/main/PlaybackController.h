#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class ControllerDialogs;
class NSAudioMixerObject;
class SlideshowMainObject;
class SlideshowProject;

// The document window's preview playback: Play and Stop set the stage for the view's display link, which
// draws while the preview plays; the music starts where the show starts; the play head and the time texts
// follow the show. It plays the hub's director in the hub's view; everything runs on the main thread except
// isPlaying, which the display link's thread reads.
class PlaybackController {
public:
    PlaybackController(SlideshowMainObject& hub, ControllerDialogs& dialogs, platform::Scheduler& scheduler,
                       ProjectSource project);

    void play();
    void stop();
    void startPlayMusic(const platform::Notification& notification);
    void notifyPlaySlideIndexChanged(const platform::Notification& notification);
    // The project's sound alone, as a new mixer of the project mixes it for the preview.
    void playMixedAudio();

    // ---- the play head and the time texts
    void showTimelineIndicator();
    void hideTimelineIndicator();
    void timelineIndicatorCallback();
    void showTimelineTimeText(quint64 frame);
    // The current slide or the show's length changed: while nothing plays, the slider and the time texts
    // show where a play from the current slide starts (none: the show's start).
    void currentSlideOrLengthChanged();
    QWidget* playHeadView() const { return playHead; }

    // Any thread.
    bool isPlaying() const { return playing.load(); }
    // True between Play and the start of the director.
    bool isStartPending() const { return playStart.isActive(); }
    qint64 playingSlideIndex() const { return playingSlide; }
    void setPlayingSlideIndex(qint64 index) { playingSlide = index; }

    // The button reads Stop while playing, Play otherwise.
    void setPlayButtonPlaying(bool playingNow);
    // A show started elsewhere (from the position slider, a test of the DVD menu) plays: the button follows.
    void markPlaying();
    // Starts the player `seconds` from now, as Play does; Stop within that time cancels it.
    void startAfter(double seconds, std::function<void()> start);
    // The window closes: nothing plays or starts any more.
    void shutDown();

    // An export plays on the player: Play and Stop leave its play, its clips and its project alone, and
    // nothing else of the window starts a play meanwhile.
    bool exportOwnsPlayer() const;

private:
    void startDirector();
    void placePlayHead(float x, qint64 scrollTo);
    void showCurrentSlideStart();
    // The play's own moves of the current slide: its reports, and its last slide at a stop.
    void markSlideOfPlay(int index);
    void stopMixedAudio();

    SlideshowMainObject& hub;
    ControllerDialogs& userDialogs;
    platform::Scheduler& clock;
    ProjectSource currentProject;

    std::atomic<bool> playing{false};
    platform::Scheduler::Handle playStart;
    platform::Scheduler::Handle indicatorTimer;
    QPointer<QWidget> playHead;
    double startTime = 0.0;
    qint64 playingSlide = 0;
    qint64 lastMarkedSlide = -1;
    bool playMovesMark = false;
    std::weak_ptr<NSAudioMixerObject> mixedAudio; // the project holds it
};
