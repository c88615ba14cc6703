// Which menu items the controller enables, and the small menu commands that forward to a panel or post.
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/UiNotifications.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/WebAddresses.h"

#include <QUrl>

namespace {

void postToolMessage(const QString& tool) {
    platform::NotificationCenter::defaultCenter().post(kNotifyToolboxButtonClicked, tool);
}

} // namespace

bool SlideshowMainObject::validateMenuItem(int tag, const std::vector<SlideItemRef>& slides,
                                           int currentIndex) {
    if (tag >= kMenuTagNeedsSlide && tag <= kMenuTagNeedsSlide + 2)
        return !slides.empty() && currentIndex >= 0;
    if (tag >= kMenuTagNeedsPictureSlide) {
        if (currentIndex < 0 || std::size_t(currentIndex) >= slides.size())
            return false;
        return slides[std::size_t(currentIndex)]->itemType() != SlideItem::kItemTypeVideo;
    }
    return true;
}

bool SlideshowMainObject::validateMenuItem(int tag) const {
    return validateMenuItem(tag, slideshowArray(), currentSlideIndex);
}

// The font editor and the pan-and-zoom panel open on the tool message as on their own buttons.
void SlideshowMainObject::menuItemAddTextClicked() {
    postToolMessage(QStringLiteral("Text"));
}

void SlideshowMainObject::menuItemPanZoomClicked() {
    postToolMessage(QStringLiteral("PanZoom"));
}

void SlideshowMainObject::AdjustColorMenuItemClicked() {
    postToolMessage(QStringLiteral("ColorAdjust"));
}

void SlideshowMainObject::RotateImageMenuItemClicked() {
    postToolMessage(QStringLiteral("Rotate"));
}

void SlideshowMainObject::openOutputFolderMenuItemClicked() {
    userDialogs.revealFile(SlideshowProject::strOutputVideoPath());
}

void SlideshowMainObject::proEditionMenuItemClicked() {
    userDialogs.openWebPage(QUrl(web_addresses::proEdition()));
}

void SlideshowMainObject::studioEditionMenuItemClicked() {
    userDialogs.openWebPage(QUrl(web_addresses::studioEdition()));
}

QString SlideshowMainObject::websiteAddress() {
    return web_addresses::maker();
}
