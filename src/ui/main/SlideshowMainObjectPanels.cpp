// The pop-overs and panels the controller opens. Hooks until the panels' issues fill them.
#include "ui/main/SlideshowMainObject.h"

// The theme list, shown in the theme button's call-out.
QWidget* SlideshowMainObject::makeThemeListView() {
    return nullptr;
}
