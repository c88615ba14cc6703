// Video clips: the Add Video command and clip drops, the clip's own player in place of the preview, playing
// from the position slider and the composition test commands, all handed to the clip slides (ClipSlides).
#include "ui/main/SlideshowMainObject.h"

#include "ui/editing/TimeLineCellViewController.h"
#include "ui/main/ClipSlides.h"

// ---- import

// Every clip chosen is appended, as a drop past the end would append it.
void SlideshowMainObject::AddVideoItem_1() {
    clips->chooseAndAppendClips();
}

void SlideshowMainObject::addVideoToProject(const QStringList& paths, int index) {
    clips->importClips(paths, index);
}

void SlideshowMainObject::AddVideoFromPath(const QString& path) {
    clips->appendClip(path);
}

void SlideshowMainObject::InsertVideoFromPath(const QString& path, int index) {
    clips->insertClip(path, index);
}

bool SlideshowMainObject::isClipImportIdle() const {
    return clips->isIdle();
}

// ---- the composition test commands

void SlideshowMainObject::AddQuartzItemTest_3() {
    clips->chooseCompositionSlide();
}

void SlideshowMainObject::AddVideoItem() {
    clips->chooseClipCompositionSlide();
}

void SlideshowMainObject::AddQuartzItemTest() {
    clips->renderTestComposition();
}

void SlideshowMainObject::keepTimelineCell(TimeLineCellViewController* cell) {
    cellControllers.emplace_back(cell);
}

// ---- the clip's player in place of the preview

VideoPlaybackViewController* SlideshowMainObject::videoPlaybackCtrl() const {
    return clips->player();
}

void SlideshowMainObject::setClipPlayerFactory(std::function<std::unique_ptr<ClipMediaPlayer>()> factory) {
    clips->setPlayerFactory(std::move(factory));
}

void SlideshowMainObject::showVideoPlaybackView(const SlideItemRef& slide) {
    clips->showPlayer(slide);
}

void SlideshowMainObject::stopVideoPreview() {
    clips->stopPlayer();
}

QWidget* SlideshowMainObject::makeVideoItemPropertyView(const SlideItemRef& slide) {
    return clips->makeInspector(slide);
}

// ---- the position slider

void SlideshowMainObject::PositionSlideChanged(int frame) {
    clips->playFromFrame(frame);
}
