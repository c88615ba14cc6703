// Timeline editing: the current slide, the cells' clicks and their transition and duration call-outs, and
// what the editing panels report about the current slide; the work is SlideEditing's and CallOuts'.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/CallOuts.h"
#include "ui/main/SlideEditing.h"

using platform::Notification;

SlideItemRef SlideshowMainObject::currentSlideItem() const {
    return editing->currentSlideItem();
}

SlideItemRef SlideshowMainObject::panZoomTempItem() const {
    return editing->panZoomTempItem();
}

void SlideshowMainObject::clearTimelineSelection() {
    editing->clearTimelineSelection();
}

void SlideshowMainObject::createTempSlideItem() {
    editing->createTempSlideItem();
}

void SlideshowMainObject::setCurrentSlideshowOnTimeline(qint64 index) {
    editing->setCurrentSlideshowOnTimeline(index);
}

// ---- the cells' clicks and their call-outs

void SlideshowMainObject::notifyTimelineCellClicked(const Notification& notification) {
    editing->notifyTimelineCellClicked(notification);
}

void SlideshowMainObject::notifyTimelineCellTransitionClicked(const Notification& notification) {
    editing->notifyTimelineCellTransitionClicked(notification);
}

void SlideshowMainObject::notifyTimelineCellDurationClicked(const Notification& notification) {
    editing->notifyTimelineCellDurationClicked(notification);
}

void SlideshowMainObject::notifySetDurationButtonClicked(const Notification& notification) {
    editing->notifySetDurationButtonClicked(notification);
}

void SlideshowMainObject::closeTransitionCallOut() {
    windowCallOuts->closeTransitionCallOut();
}

void SlideshowMainObject::closeDurationCallOut() {
    windowCallOuts->closeDurationCallOut();
}

// ---- what the pop-overs report

void SlideshowMainObject::TransitionEffectSelected(const Notification& notification) {
    editing->TransitionEffectSelected(notification);
}

void SlideshowMainObject::notifyUpdateSlideItemDuration(const Notification&) {
    editing->notifyUpdateSlideItemDuration();
}

void SlideshowMainObject::notifyCloseSlideItemDurationPanel(const Notification&) {
    editing->durationPanelClosed();
}

void SlideshowMainObject::notifyCloseVideoItemPropertyPanel(const Notification&) {
    editing->durationPanelClosed();
}

void SlideshowMainObject::UpdateCurrentSlideItemDurationInfo() {
    editing->UpdateCurrentSlideItemDurationInfo();
}

// ---- pan and zoom

void SlideshowMainObject::PanZoomValueChanged(const Notification& notification) {
    editing->PanZoomValueChanged(notification);
}

void SlideshowMainObject::PanZomSetFrameNotify(int which) {
    editing->PanZomSetFrameNotify(which);
}

void SlideshowMainObject::showCurrentItemEditingPanZoom(const SlideItemRef& slide) {
    editing->showCurrentItemEditingPanZoom(slide);
}

void SlideshowMainObject::WindowSizeChanged(const Notification&) {
    editing->WindowSizeChanged();
}

// ---- text, rotation and colour

void SlideshowMainObject::FontInfoChanged(const Notification& notification) {
    editing->FontInfoChanged(notification);
}

QVariantMap SlideshowMainObject::editSlideItemTextSample() {
    return SlideEditing::editSlideItemTextSample();
}

void SlideshowMainObject::EditSlideItemTextClicked() {
    editing->EditSlideItemTextClicked();
}

void SlideshowMainObject::editSlideItemText(const SlideItemRef& slide) {
    editing->editSlideItemText(slide);
}

void SlideshowMainObject::notifyToolboxButtonClicked(const Notification& notification) {
    editing->notifyToolboxButtonClicked(notification);
}

void SlideshowMainObject::rotateImageButtonClicked() {
    editing->rotateImageButtonClicked();
}

void SlideshowMainObject::notifyColorAdjustChanged(const Notification& notification) {
    editing->notifyColorAdjustChanged(notification);
}

void SlideshowMainObject::setColorToCurrentItem(const QVariantMap& adjustment) {
    editing->setColorToCurrentItem(adjustment);
}
