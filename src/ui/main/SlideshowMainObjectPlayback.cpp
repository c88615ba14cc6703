// Preview playback, handed to the PlaybackController: Play and Stop, the music's start, the play head and
// the time texts.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/PlaybackController.h"

bool SlideshowMainObject::m_bPlaying() const {
    return playback->isPlaying();
}

void SlideshowMainObject::play() {
    playback->play();
}

void SlideshowMainObject::stop() {
    playback->stop();
}

bool SlideshowMainObject::isStartPending() const {
    return playback->isStartPending();
}

qint64 SlideshowMainObject::nPlayingSlideIndex() const {
    return playback->playingSlideIndex();
}

void SlideshowMainObject::setNPlayingSlideIndex(qint64 index) {
    playback->setPlayingSlideIndex(index);
}

// ---- music and the director's reports

void SlideshowMainObject::startPlayMusic(const platform::Notification& notification) {
    playback->startPlayMusic(notification);
}

void SlideshowMainObject::notifyPlaySlideIndexChanged(const platform::Notification& notification) {
    playback->notifyPlaySlideIndexChanged(notification);
}

void SlideshowMainObject::playMixedAudio() {
    playback->playMixedAudio();
}

// ---- the play head and the time texts

void SlideshowMainObject::showTimelineIndicator() {
    playback->showTimelineIndicator();
}

void SlideshowMainObject::hideTimelineIndicator() {
    playback->hideTimelineIndicator();
}

void SlideshowMainObject::timelineIndicatorCallback() {
    playback->timelineIndicatorCallback();
}

QWidget* SlideshowMainObject::timelineIndicatorImageView() const {
    return playback->playHeadView();
}

void SlideshowMainObject::showTimelineTimeText(quint64 frame) {
    playback->showTimelineTimeText(frame);
}
