// The share entry points: the share choices, the movie export and its finish, the cancel, the burn and the
// DVD commands that encode, each handed to the ShareController, which owns the export commands.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/ShareController.h"

using platform::Notification;

bool SlideshowMainObject::isEncoding() const {
    return share && share->isEncoding();
}

void SlideshowMainObject::closeShareCallOut() {
    share->closeShareCallOut();
}

void SlideshowMainObject::shareButtonClicked() {
    share->shareButtonClicked();
}

void SlideshowMainObject::shareButton1Clicked() {
    share->popUpShareMenu();
}

void SlideshowMainObject::ShareEncodeMovieButtonClick() {
    share->shareChoice(0);
}

void SlideshowMainObject::ShareVideoSiteButtonClick() {
    share->shareChoice(1);
}

void SlideshowMainObject::ShareSocialSiteButtonClick() {
    share->shareChoice(2);
}

bool SlideshowMainObject::refusesToShare() {
    return share && share->refusesToShare();
}

void SlideshowMainObject::NotifyShareButtonClicked(const Notification& notification) {
    share->shareOptionChosen(notification);
}

void SlideshowMainObject::UploadSigninSucess(const Notification&) {
    share->signedIn();
}

void SlideshowMainObject::notifyVideoInfoEditDone(const Notification&) {
    share->videoInfoEditDone();
}

void SlideshowMainObject::notifyPCreateVideoFileEnd(const Notification&) {
    share->createVideoFileEnded();
}

void SlideshowMainObject::notifyCancelEncodingVideo(const Notification&) {
    share->cancelEncoding();
}

void SlideshowMainObject::websiteMenuitemClicked() {
    share->openWebsite();
}

void SlideshowMainObject::BurnDVDButtonClicked() {
    share->burnDVD();
}

void SlideshowMainObject::EncodeDVDMenu() {
    share->encodeDVDMenu();
}

void SlideshowMainObject::TestMpegSpumux() {
    share->testMpegSpumux();
}

void SlideshowMainObject::createDVDMPEGIIFile() {
    share->encodeDVDSlideshow();
}

void SlideshowMainObject::StartDVDAuthor() {
    share->startDVDAuthor();
}

// The accessors answer nothing once the controller is going.

AWAttachedWindow* SlideshowMainObject::attachedWindow() const {
    return share ? share->attachedWindow() : nullptr;
}

ExportProgressWindowController* SlideshowMainObject::exportProgressWC() const {
    return share ? share->exportProgressWC() : nullptr;
}

MovieExportCommand* SlideshowMainObject::movieExportCommand() const {
    return share ? share->movieExportCommand() : nullptr;
}

MP4ExportCommand* SlideshowMainObject::mp4ExportCommand() const {
    return share ? share->mp4ExportCommand() : nullptr;
}

DVDCommand* SlideshowMainObject::dvdCommand() const {
    return share ? share->dvdCommand() : nullptr;
}
