// The pop-overs and panels the controller opens. Empty until the panels are built.
#include "ui/main/SlideshowMainObject.h"

// The theme list, shown in the theme button's call-out.
QWidget* SlideshowMainObject::makeThemeListView() {
    return nullptr;
}
