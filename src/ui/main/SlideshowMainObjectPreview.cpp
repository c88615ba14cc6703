// The still preview and the step-by-step browsing: handed to the StillPreview.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/StillPreview.h"

void SlideshowMainObject::showImageInOpenGL(std::shared_ptr<TextureObject> texture) {
    still->showImageInOpenGL(std::move(texture));
}

void SlideshowMainObject::showWelcomeScreen() {
    still->showWelcomeScreen();
}

void SlideshowMainObject::showCurrentSlideOrWelcome() {
    const std::vector<SlideItemRef> shown = slideshowArray();
    if (currentSlideIndex >= 0 && std::size_t(currentSlideIndex) < shown.size())
        still->showCurrentItemPhoto(shown[std::size_t(currentSlideIndex)]);
    else
        still->showWelcomeScreen();
}

std::shared_ptr<TextureObject> SlideshowMainObject::previousTextureObj() const {
    return still->previousTexture();
}

void SlideshowMainObject::setPreviousTextureObj(std::shared_ptr<TextureObject> texture) {
    still->setPreviousTexture(std::move(texture));
}

// ---- showing a slide

void SlideshowMainObject::showCurrentItemPhoto(const SlideItemRef& slide) {
    still->showCurrentItemPhoto(slide);
}

void SlideshowMainObject::showSlideItemImage(const SlideItemRef& slide) {
    still->showSlideItemImage(slide);
}

void SlideshowMainObject::showImageByUsingBlock(const QString& path) {
    still->showImageByUsingBlock(path);
}

void SlideshowMainObject::moveItemToThreadArrayHead(const SlideItemRef& slide) {
    still->moveItemToThreadArrayHead(slide);
}

void SlideshowMainObject::showFirstImageInOpenGLView() {
    still->showFirstImageInOpenGLView();
}

// ---- animations

SlideshowMainObject::PreviewMotion SlideshowMainObject::previewMotion() const {
    return still->motion();
}

int SlideshowMainObject::previewMotionStepsLeft() const {
    return still->motionStepsLeft();
}

void SlideshowMainObject::showCurrentItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
    still->showCurrentItemPhotoWithMove_direction(slide, direction);
}

std::vector<double> SlideshowMainObject::bounceShifts() {
    return StillPreview::bounceShifts();
}

void SlideshowMainObject::showItemPhotoWithMove_direction(const SlideItemRef& slide, bool direction) {
    still->showItemPhotoWithMove_direction(slide, direction);
}

// ---- stepping

void SlideshowMainObject::handleShowPhotoStepByStep(bool backward) {
    still->handleShowPhotoStepByStep(backward);
}

void SlideshowMainObject::notifyFullScreenOperBtnClicked(const platform::Notification& notification) {
    still->notifyFullScreenOperBtnClicked(notification);
}

void SlideshowMainObject::showNextImage() {
    still->showNextImage();
}

void SlideshowMainObject::showPreviousImage() {
    still->showPreviousImage();
}

void SlideshowMainObject::showFirsttImage() {
    still->showFirsttImage();
}

void SlideshowMainObject::showLastImage() {
    still->showLastImage();
}

void SlideshowMainObject::stopSlideshowWith(int) {
    stop();
}
