// The pop-overs and panels the controller opens: the theme list, and the floating editing panels (pan and
// zoom, text, toolbox, colour) that live for the whole run; the clip and toolbox commands.
#include "ui/main/SlideshowMainObject.h"

#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/ToolboxWindowController.h"

#include <QDialog>

// The theme list, shown in the theme button's call-out; its Customize opens the blank-image window for
// the theme's background.
QWidget* SlideshowMainObject::makeThemeListView() {
    auto* list = new SlideThemeViewController; // the call-out takes it
    list->setBlankImageWindowMaker([this] { return makeBlankImageWindow(true); });
    list->setDialogs(&userDialogs);
    return list;
}

// Each panel listens for its own tool word; the toolbox opens from the window's Tools button.
void SlideshowMainObject::makeEditingPanels() {
    panZoom = std::make_unique<PanZoomObject>(ui.mainWindow);
    fontEditor = std::make_unique<SlideFontEditorObject>(ui.mainWindow);
    toolbox = std::make_unique<ToolboxObject>(ui.mainWindow);
    colorAdjust = std::make_unique<ColorAdjustObject>(ui.mainWindow);
    if (const SlideItemRef slide = currentSlideItem())
        fontEditor->setTextInfoDict(slide->textInfo());
}

void SlideshowMainObject::connectClipAndPanelActions() {
    if (ui.addVideoButton)
        connect(ui.addVideoButton, &QAbstractButton::clicked, this, &SlideshowMainObject::AddVideoItem_1);
    if (ui.addVideoMenuItem)
        connect(ui.addVideoMenuItem, &QAction::triggered, this, &SlideshowMainObject::AddVideoItem_1);
    if (ui.toolboxButton)
        connect(ui.toolboxButton, &QAbstractButton::clicked, this, [] {
            platform::NotificationCenter::defaultCenter().post(
                QStringLiteral("NOTIFY_SHOW_TOOLBAR_ICON_CLICK"));
        });
}
