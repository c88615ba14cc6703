// Slide-list commands, handed over to the slide list's controller: blank and wood pictures, the
// arrange-order window's removals and moves, deleting the current slide, the cursor's jumps, slide sounds,
// and the timeline's rebuild for an opened project.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/PlaybackController.h"
#include "ui/main/SlideListController.h"

#include <QDialog>

using platform::Notification;

blankImageWndController* SlideshowMainObject::blankWnd() const {
    return slideList->blankWnd();
}

ArrangeOrderWndController* SlideshowMainObject::arrangeOrderWC() const {
    return slideList->arrangeOrderWC();
}

bool SlideshowMainObject::isTimelineRefreshRunning() const {
    return slideList->isTimelineRefreshRunning();
}

void SlideshowMainObject::AddBlankImageFromBundle() {
    slideList->AddBlankImageFromBundle();
}

std::unique_ptr<QDialog> SlideshowMainObject::makeBlankImageWindow(bool themeBackground) {
    return slideList->makeBlankImageWindow(themeBackground);
}

void SlideshowMainObject::NotifyInsertBlankImage(const Notification& notification) {
    slideList->NotifyInsertBlankImage(notification);
}

void SlideshowMainObject::AddBlankImageButtonClicked() {
    slideList->AddBlankImageButtonClicked();
}

void SlideshowMainObject::ArrangeSlideOrder() {
    slideList->ArrangeSlideOrder();
}

void SlideshowMainObject::windowWillClose(const Notification& notification) {
    slideList->windowWillClose(notification);
}

void SlideshowMainObject::removeItemsAtIndexes(const IndexSet& indexes) {
    slideList->removeItemsAtIndexes(indexes);
}

void SlideshowMainObject::moveItemsAtIndexes(const IndexSet& indexes, quint64 destination) {
    slideList->moveItemsAtIndexes(indexes, destination);
}

void SlideshowMainObject::slidesReordered() {
    slideList->slidesReordered();
}

void SlideshowMainObject::DeleteCurrentPhoto() {
    slideList->DeleteCurrentPhoto();
}

void SlideshowMainObject::MoveCursorToFirstSlide() {
    slideList->MoveCursorToFirstSlide();
}

void SlideshowMainObject::MoveCursorToLastSlide() {
    slideList->MoveCursorToLastSlide();
}

void SlideshowMainObject::showSoundRecoderWnd() {
    slideList->showSoundRecoderWnd();
}

void SlideshowMainObject::notifyUpdateSlideItemSound(const Notification& notification) {
    slideList->notifyUpdateSlideItemSound(notification);
}

void SlideshowMainObject::refreshUIForOpenProject() {
    slideList->refreshUIForOpenProject();
}
