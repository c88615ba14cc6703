// The music commands and the audio and text layers, handed over to the music controller and the layer
// views; addMusicToProject stays the hub's, virtual, so that what a subclass makes of it is what the Add
// Music choice and the drops reach.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/LayerViews.h"
#include "ui/main/MusicController.h"

using platform::Notification;

// ---- accessors

MusicDirector& SlideshowMainObject::musicDirector() const {
    return musicControl->director();
}

MusicTimelineViewController& SlideshowMainObject::musicTimelineViewController() const {
    return musicControl->timeline();
}

const std::vector<QPointer<WaveFormViewOSX>>& SlideshowMainObject::musicSubviewArray() const {
    return musicControl->musicSubviewArray();
}

AWAttachedWindow* SlideshowMainObject::attachedWindowMusicOptions() const {
    return musicControl->attachedWindowMusicOptions();
}

AWAttachedWindow* SlideshowMainObject::attachedWindowPhotoMusicSync() const {
    return musicControl->attachedWindowPhotoMusicSync();
}

bool SlideshowMainObject::isMusicImportIdle() const {
    return musicControl->isMusicImportIdle();
}

// ---- music

void SlideshowMainObject::buttonAddMusicClcked() {
    musicControl->buttonAddMusicClcked();
}

void SlideshowMainObject::addMusicToProject(const QStringList& paths) {
    musicControl->addMusicToProject(paths);
}

void SlideshowMainObject::addMusicToProject_old(const QStringList& paths) {
    musicControl->addMusicToProject_old(paths);
}

QWidget* SlideshowMainObject::popOverMusicList() const {
    return musicControl->popOverMusicList();
}

void SlideshowMainObject::setPopOverMusicList(QWidget* popover) {
    musicControl->setPopOverMusicList(popover);
}

void SlideshowMainObject::popoverDidClose() {
    musicControl->popoverDidClose();
}

void SlideshowMainObject::AddMusicItemSubView(const MusicItemRef& song) {
    musicControl->AddMusicItemSubView(song);
}

void SlideshowMainObject::rebuildMusicSubViews() {
    musicControl->rebuildMusicSubViews();
}

std::vector<QRectF> SlideshowMainObject::musicStripFrames(std::size_t count) {
    return musicControl->musicStripFrames(count);
}

void SlideshowMainObject::layoutMusicSubViews() {
    musicControl->layoutMusicSubViews();
}

float SlideshowMainObject::getTimelineXPositionFromFrame_Music(quint64 frame) {
    return musicControl->getTimelineXPositionFromFrame_Music(frame);
}

void SlideshowMainObject::backgroundMusicListMenuItemClicked() {
    musicControl->backgroundMusicListMenuItemClicked();
}

void SlideshowMainObject::notifyMusicTimelineClicked(const Notification& notification) {
    musicControl->notifyMusicTimelineClicked(notification);
}

void SlideshowMainObject::notifyMusicOptionsCloseClicked(const Notification& notification) {
    musicControl->notifyMusicOptionsCloseClicked(notification);
}

void SlideshowMainObject::notifyMusicOptionsAddMusicClicked(const Notification& notification) {
    musicControl->notifyMusicOptionsAddMusicClicked(notification);
}

void SlideshowMainObject::syncPhotoMusicButtonClicked() {
    musicControl->syncPhotoMusicButtonClicked();
}

void SlideshowMainObject::notifyMusicSyncButtonClicked(const Notification& notification) {
    musicControl->notifyMusicSyncButtonClicked(notification);
}

void SlideshowMainObject::notifyRefreshTimelineUI(const Notification& notification) {
    musicControl->notifyRefreshTimelineUI(notification);
}

int SlideshowMainObject::runPhotoMusicSyncForExport(const QVariantMap& syncResult) {
    return musicControl->runPhotoMusicSyncForExport(syncResult);
}

void SlideshowMainObject::ChangeTimelineMode() {
    musicControl->ChangeTimelineMode();
}

void SlideshowMainObject::TimelineUnitChanged(int pixelsPerSecond) {
    musicControl->TimelineUnitChanged(pixelsPerSecond);
}

void SlideshowMainObject::stopRefreshPlayintIndicator() {
    musicControl->stopRefreshPlayintIndicator();
}

void SlideshowMainObject::playSongTest() {
    musicControl->playSongTest();
}

// ---- the audio and text layers

void SlideshowMainObject::addMusicToAudioLayer(const QStringList& paths) {
    layerViews->addMusicToAudioLayer(paths);
}

void SlideshowMainObject::layoutAudioLayerSubviews() {
    layerViews->layoutAudioLayerSubviews();
}

void SlideshowMainObject::layoutTextLayerSubviews() {
    layerViews->layoutTextLayerSubviews();
}

void SlideshowMainObject::TestAudioLayer() {
    layerViews->TestAudioLayer();
}

void SlideshowMainObject::TestTextLayer() {
    layerViews->TestTextLayer();
}
