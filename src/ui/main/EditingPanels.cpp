#include "ui/main/EditingPanels.h"

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
#include "ui/main/SlideshowMainObject.h"
#include "ui/main/SlideshowWindowControllerObj.h"

#include <QDialog>

namespace {

// A click or a menu command that runs one of the controller's actions; a control the window lacks is
// skipped.
void onClick(QAbstractButton* button, SlideshowMainObject& hub, void (SlideshowMainObject::*action)()) {
    if (button)
        QObject::connect(button, &QAbstractButton::clicked, &hub, action);
}

void onTrigger(QAction* item, SlideshowMainObject& hub, void (SlideshowMainObject::*action)()) {
    if (item)
        QObject::connect(item, &QAction::triggered, &hub, action);
}

} // namespace

EditingPanels::EditingPanels(SlideshowMainObject& mainObject, ControllerDialogs& dialogs,
                             std::shared_ptr<platform::Scheduler> scheduler, ProjectSource edited)
    : hub(mainObject), userDialogs(dialogs), clock(std::move(scheduler)), project(std::move(edited)) {}

EditingPanels::~EditingPanels() = default;

// The theme list, shown in the theme button's call-out; its Customize opens the blank-image window for
// the theme's background.
QWidget* EditingPanels::makeThemeListView() {
    auto* list = new SlideThemeViewController(project); // the call-out takes it
    list->setBlankImageWindowMaker([&hub = hub] { return hub.makeBlankImageWindow(true); });
    list->setDialogs(&userDialogs);
    return list;
}

// Runs once the project is open: the side panel's theme list and options read it when they are made.
void EditingPanels::awakeWindowLayout() {
    const MainWindowOutlets& ui = hub.outlets();
    if (ImageBrowserObject* browser = ui.mediaBrowserObj) {
        browser->awakeFromNib();
        if (SlideThemeViewController* themes = browser->themeViewController()) {
            themes->setBlankImageWindowMaker([&hub = hub] { return hub.makeBlankImageWindow(true); });
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
        QObject::connect(ui.optionsMenuItem, &QAction::triggered, &hub,
                         &SlideshowMainObject::ShowApplicationOptions, Qt::UniqueConnection);
}

void EditingPanels::ShowApplicationOptions() {
    if (optionsWindow) {
        optionsWindow->close();
        delete optionsWindow.data();
    }
    auto* window = new SlideshowOptionsWndController(&userDialogs, project,
                                                     hub.outlets().mainWindow); // the window owns it
    window->setWindowFlag(Qt::Window);
    optionsWindow = window;
    window->show();
    window->raise();
}

QDialog* EditingPanels::optionsWnd() const {
    return optionsWindow;
}

void EditingPanels::dropOptionsWindow() {
    delete optionsWindow.data();
}

// Each panel listens for its own tool word; the toolbox opens from the window's Tools button.
void EditingPanels::makeEditingPanels() {
    QMainWindow* window = hub.outlets().mainWindow;
    panZoomPanel = std::make_unique<PanZoomObject>(project, window);
    fontEditorPanel = std::make_unique<SlideFontEditorObject>(project, window);
    toolboxPanel = std::make_unique<ToolboxObject>(window);
    colorAdjustPanel = std::make_unique<ColorAdjustObject>(window);
    if (const SlideItemRef slide = hub.currentSlideItem())
        fontEditorPanel->setTextInfoDict(slide->textInfo());
}

void EditingPanels::connectClipAndPanelActions() {
    const MainWindowOutlets& ui = hub.outlets();
    onClick(ui.addVideoButton, hub, &SlideshowMainObject::AddVideoItem_1);
    onTrigger(ui.addVideoMenuItem, hub, &SlideshowMainObject::AddVideoItem_1);
    onTrigger(ui.addCompositionTestMenuItem, hub, &SlideshowMainObject::AddQuartzItemTest_3);
    onTrigger(ui.addClipCompositionTestMenuItem, hub, &SlideshowMainObject::AddVideoItem);
    onTrigger(ui.renderCompositionTestMenuItem, hub, &SlideshowMainObject::AddQuartzItemTest);
    if (ui.toolboxButton)
        QObject::connect(ui.toolboxButton, &QAbstractButton::clicked, &hub, [] {
            platform::NotificationCenter::defaultCenter().post(kNotifyShowToolbarIconClick);
        });
}
