// The DVD-menu page and its test, handed to the DvdMenuPage; the play state that test needs, which stays
// the controller's.
#include "ui/main/SlideshowMainObject.h"

#include "render/SlideshowDirector.h"
#include "ui/main/DvdMenuPage.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/StillPreview.h"

using platform::Notification;

DVDMenuViewController* SlideshowMainObject::dvdMenuViewController() const {
    return dvdMenu ? dvdMenu->viewController() : nullptr;
}

const std::vector<SlideItemRef>& SlideshowMainObject::dvdMenuArray() const {
    return dvdMenu->menuSlides();
}

void SlideshowMainObject::showDVDMenuPage() {
    dvdMenu->show();
}

void SlideshowMainObject::ShowDVDMenuItem(const Notification& notification) {
    dvdMenu->showMenuItem(notification);
}

void SlideshowMainObject::NoDVDMenuSelected(const Notification&) {
    dvdMenu->noMenuSelected();
}

void SlideshowMainObject::TestDVDMenu() {
    dvdMenu->testMenu();
}

void SlideshowMainObject::enterPlayState() {
    stillPreview().cancelTimers();
    playbackController().markPlaying();
}

void SlideshowMainObject::startPlayerAfter(double delay) {
    playbackController().startAfter(delay, [this] {
        if (const auto player = director())
            player->setDirectorStatus(1);
    });
}
