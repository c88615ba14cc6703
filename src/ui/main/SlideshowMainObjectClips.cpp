// Video clips and their player, and the position slider. Empty until the clip import is built.
#include "ui/main/SlideshowMainObject.h"

// A clip chosen or dropped at slot `index`: copied into the project as a video slide.
void SlideshowMainObject::addVideoToProject(const QString&, int) {}
// Shows the clip's own player in place of the preview.
void SlideshowMainObject::showVideoPlaybackView(const SlideItemRef&) {}
// The position slider moved: the frame playback starts from.
void SlideshowMainObject::PositionSlideChanged(int) {}
// The clip inspector is not built yet: a clip's duration badge opens nothing.
QWidget* SlideshowMainObject::makeVideoItemPropertyView(const SlideItemRef&) {
    return nullptr;
}
