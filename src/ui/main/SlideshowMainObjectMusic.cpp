// Music and audio-layer commands: the song strips along the timeline, the music call-outs, the photo-music
// sync. Empty until the music commands are built.
#include "ui/main/SlideshowMainObject.h"

#include "ui/editing/MusicTimelineViewController.h"

using platform::Notification;

void SlideshowMainObject::notifyMusicTimelineClicked(const Notification&) {}
void SlideshowMainObject::notifyMusicOptionsCloseClicked(const Notification&) {}
void SlideshowMainObject::notifyMusicOptionsAddMusicClicked(const Notification&) {}
void SlideshowMainObject::notifyRefreshTimelineUI(const Notification&) {}
void SlideshowMainObject::notifyMusicSyncButtonClicked(const Notification&) {}
void SlideshowMainObject::backgroundMusicListMenuItemClicked() {}
// Lays the song strips out along the timeline after the slides changed.
void SlideshowMainObject::layoutMusicSubViews() {}
// A song chosen or dropped: copied into the project with its information.
void SlideshowMainObject::addMusicToProject(const QString&) {}
// Opens the photo-music sync window.
void SlideshowMainObject::syncPhotoMusicButtonClicked() {}
// Stops the music strip's play indicator.
void SlideshowMainObject::stopRefreshPlayintIndicator() {
    musicTimeline->stopRefreshPlayintIndicator();
}
// Where a frame lies along the song strips; 0 while there are none.
float SlideshowMainObject::getTimelineXPositionFromFrame_Music(quint64) {
    return 0.0f;
}
// Drops every song strip and makes one for each song of the open project, in order.
void SlideshowMainObject::rebuildMusicSubViews() {}
