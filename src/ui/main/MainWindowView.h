#pragma once

#include "ui/editing/ProjectSource.h"
#include "ui/main/MainWindowOutlets.h"

#include <QMainWindow>

// The document window as the interface file lays it out: photo commands at the top; the preview with its
// step buttons and Play beside the side panel (the side bar and the media browser it switches); the
// timeline's bar (time, position, Share) and the timeline strip at the bottom; and the menus. It only builds
// widgets; the main window controller gives them their behaviour.
class MainWindowView : public QMainWindow {
    Q_OBJECT
public:
    // The strip, the theme list and the options show the project the source answers.
    explicit MainWindowView(ProjectSource project, QWidget* parent = nullptr);

    const MainWindowOutlets& outlets() const { return outletSet; }
    // The File menu's project commands, which the application delegate answers.
    QAction* newProjectAction() const { return newAction; }
    QAction* openProjectAction() const { return openAction; }
    QAction* saveProjectAction() const { return saveAction; }
    QAction* projectPropertiesAction() const { return propertiesAction; }

private:
    QWidget* makePhotoBar();
    // The preview's column and the side panel (side bar, media browser) either side of a splitter.
    QWidget* makeSplitView();
    // What the interface file instantiates besides widgets: the side panel's and the layout's controllers.
    void makeWindowObjects();
    QWidget* makePreviewControls();
    QWidget* makeTimelineBar();
    void makeMenus();
    void makeMusicMenuItems(QMenu& slideshow);

    ProjectSource projectSource;
    MainWindowOutlets outletSet;
    QAction* newAction = nullptr;
    QAction* openAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* propertiesAction = nullptr;
};
