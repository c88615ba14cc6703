// Slide-list commands: blank pictures, recorded sounds, the arrange-order window. Empty until the slide-list
// commands are built.
#include "ui/main/SlideshowMainObject.h"

#include <QDialog>

using platform::Notification;

void SlideshowMainObject::NotifyInsertBlankImage(const Notification&) {}
// Lets the arrange-order window's controller go when its window closes.
void SlideshowMainObject::windowWillClose(const Notification&) {}
void SlideshowMainObject::notifyUpdateSlideItemSound(const Notification&) {}
// The blank-image window is not built yet: Customize sets the theme and opens nothing more.
std::unique_ptr<QDialog> SlideshowMainObject::makeBlankImageWindow(bool) {
    return nullptr;
}
