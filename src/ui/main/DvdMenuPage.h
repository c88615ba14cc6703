#pragma once

#include "model/SlideItem.h"
#include "ui/editing/ProjectSource.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class ControllerDialogs;
class DVDMenuViewController;
class QDialog;
class SlideshowMainObject;
class SlideshowProject;
struct MainWindowOutlets;
namespace platform {
class Scheduler;
struct Notification;
} // namespace platform

// The DVD-menu page in a window of its own, the menu it shows in the preview, and the test that plays the
// first three slides as a menu would. The preview and the play state are the window controller's: they
// are reached through it. Main thread only.
class DvdMenuPage {
public:
    DvdMenuPage(SlideshowMainObject& hub, ControllerDialogs& dialogs, platform::Scheduler& scheduler,
                const MainWindowOutlets& outlets, ProjectSource project);
    // The page's window goes with it.
    ~DvdMenuPage();
    DvdMenuPage(const DvdMenuPage&) = delete;
    DvdMenuPage& operator=(const DvdMenuPage&) = delete;

    // Opens the window, or brings it to the front with the menus read anew.
    void show();
    DVDMenuViewController* viewController() const;
    // A menu chosen on the page: its picture in the preview.
    void showMenuItem(const platform::Notification& notification);
    // No menu chosen: the current slide (the welcome picture without one) in the preview again.
    void noMenuSelected();
    // Plays the first three slides' copies, or stops a show that plays.
    void testMenu();
    const std::vector<SlideItemRef>& menuSlides() const { return slides; }

private:
    SlideshowMainObject& hub;
    ControllerDialogs& userDialogs;
    platform::Scheduler& clock;
    const MainWindowOutlets& ui;
    ProjectSource project;
    QPointer<QDialog> window;
    std::vector<SlideItemRef> slides;
};
