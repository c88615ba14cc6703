// The floating editing panels (pan and zoom, text, toolbox, colour) that live for the whole run, the
// options window and the window's layout objects it wakes; the work is EditingPanels'.
#include "ui/main/SlideshowMainObject.h"

#include "ui/main/EditingPanels.h"

QWidget* SlideshowMainObject::makeThemeListView() {
    return panels->makeThemeListView();
}

void SlideshowMainObject::awakeWindowLayout() {
    panels->awakeWindowLayout();
}

void SlideshowMainObject::ShowApplicationOptions() {
    panels->ShowApplicationOptions();
}

QDialog* SlideshowMainObject::optionsWnd() const {
    return panels->optionsWnd();
}

PanZoomObject* SlideshowMainObject::panZoomObj() const {
    return panels->panZoom();
}

SlideFontEditorObject* SlideshowMainObject::fontEditorObj() const {
    return panels->fontEditor();
}

ToolboxObject* SlideshowMainObject::toolboxObj() const {
    return panels->toolbox();
}

ColorAdjustObject* SlideshowMainObject::colorAdjustObj() const {
    return panels->colorAdjust();
}
