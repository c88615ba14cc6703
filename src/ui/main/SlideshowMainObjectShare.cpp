// The share hub, the movie export and the DVD path. The movie export and DVD command objects observe their
// own rows; the rest are empty until the share commands are built.
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"

using platform::Notification;

// The movie branch of the cancel (the DVD command cancels its own).
void SlideshowMainObject::notifyCancelEncodingVideo(const Notification&) {}
void SlideshowMainObject::notifyPCreateVideoFileEnd(const Notification&) {}
void SlideshowMainObject::NotifyShareButtonClicked(const Notification&) {}
void SlideshowMainObject::UploadSigninSucess(const Notification&) {}
// The movie branch of the edit-done (the DVD command starts its own encode).
void SlideshowMainObject::notifyVideoInfoEditDone(const Notification&) {}
void SlideshowMainObject::ShowDVDMenuItem(const Notification&) {}
// The Share button: the share options' call-out.
void SlideshowMainObject::shareButtonClicked() {}
// True while an export renders the project.
bool SlideshowMainObject::isEncoding() const {
    return false;
}

void SlideshowMainObject::NoDVDMenuSelected(const Notification&) {
    const std::vector<SlideItemRef> slides = slideshowArray();
    if (currentSlideIndex >= 0 && std::size_t(currentSlideIndex) < slides.size())
        showCurrentItemPhoto(slides[std::size_t(currentSlideIndex)]);
}
