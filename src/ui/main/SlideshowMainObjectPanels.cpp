// The pop-overs and panels the controller opens: the theme list, and the floating editing panels (pan and
// zoom, text, toolbox, colour) that live for the whole run; the clip and toolbox commands; the window's
// layout objects it wakes and the options window.
#include "ui/main/SlideshowMainObject.h"

#include "platform/foundation/NotificationCenter.h"
#include "ui/UiNotifications.h"
#include "ui/controls/SDSideBar.h"
#include "ui/editing/ColorAdjustWindowController.h"
#include "ui/editing/PanZoomObject.h"
#include "ui/editing/SlideFontEditorObject.h"
#include "ui/editing/SlideThemeViewController.h"
#include "ui/editing/SlideshowOptionsViewController.h"
#include "ui/editing/SlideshowOptionsWndController.h"
#include "ui/editing/ToolboxWindowController.h"
#include "ui/main/ImageBrowserObject.h"
#include "ui/main/SlideshowWindowControllerObj.h"

#include <QDialog>

// The theme list, shown in the theme button's call-out; its Customize opens the blank-image window for
// the theme's background.
QWidget* SlideshowMainObject::makeThemeListView() {
    auto* list = new SlideThemeViewController; // the call-out takes it
    list->setBlankImageWindowMaker([this] { return makeBlankImageWindow(true); });
    list->setDialogs(&userDialogs);
    return list;
}

// Runs once the project is open: the side panel's theme list and options read it when they are made.
void SlideshowMainObject::awakeWindowLayout() {
    if (ImageBrowserObject* browser = ui.mediaBrowserObj) {
        browser->awakeFromNib();
        if (SlideThemeViewController* themes = browser->themeViewController()) {
            themes->setBlankImageWindowMaker([this] { return makeBlankImageWindow(true); });
            themes->setDialogs(&userDialogs);
        }
        if (SlideshowOptionsViewController* options = browser->optionsViewController())
            options->setDialogs(&userDialogs);
    }
    if (ui.sideBarDefault)
        ui.sideBarDefault->setScheduler(clock);
    if (SlideshowWindowControllerObj* layout = ui.windowController)
        layout->awakeFromNib();
    if (ui.optionsMenuItem)
        connect(ui.optionsMenuItem, &QAction::triggered, this, &SlideshowMainObject::ShowApplicationOptions,
                Qt::UniqueConnection);
}

void SlideshowMainObject::ShowApplicationOptions() {
    if (optionsWindow) {
        optionsWindow->close();
        delete optionsWindow.data();
    }
    auto* window = new SlideshowOptionsWndController(&userDialogs, ui.mainWindow); // the window owns it
    window->setWindowFlag(Qt::Window);
    optionsWindow = window;
    window->show();
    window->raise();
}

QDialog* SlideshowMainObject::optionsWnd() const {
    return optionsWindow;
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
    onClick(ui.addVideoButton, &SlideshowMainObject::AddVideoItem_1);
    onTrigger(ui.addVideoMenuItem, &SlideshowMainObject::AddVideoItem_1);
    onTrigger(ui.addCompositionTestMenuItem, &SlideshowMainObject::AddQuartzItemTest_3);
    onTrigger(ui.addClipCompositionTestMenuItem, &SlideshowMainObject::AddVideoItem);
    onTrigger(ui.renderCompositionTestMenuItem, &SlideshowMainObject::AddQuartzItemTest);
    if (ui.toolboxButton)
        connect(ui.toolboxButton, &QAbstractButton::clicked, this,
                [] { platform::NotificationCenter::defaultCenter().post(kNotifyShowToolbarIconClick); });
}
