// The pop-overs and panels the controller opens.
#include "ui/main/SlideshowMainObject.h"

#include "ui/editing/SlideThemeViewController.h"

#include <QDialog>

// The theme list, shown in the theme button's call-out; its Customize opens the blank-image window for
// the theme's background.
QWidget* SlideshowMainObject::makeThemeListView() {
    auto* list = new SlideThemeViewController; // the call-out takes it
    list->setBlankImageWindowMaker([this] { return makeBlankImageWindow(true); });
    list->setDialogs(&userDialogs);
    return list;
}
