#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QWidget>

class ImageBrowserObject;
class QSplitter;
class SDSideBar;
class SlideshowWindowControllerObj;
class TimelineContentView;
class TimelineScrollView;

// The document window's widgets that the main window controller reaches, by their outlet names. Any may be
// missing; the controller then leaves out what it would have done with it.
struct MainWindowOutlets {
    QPointer<QMainWindow> mainWindow;
    QPointer<QWidget> mainWindowView, toolbarView, timelineToolbarView;
    // Where the preview widget goes.
    QPointer<QWidget> previewHost;
    QPointer<TimelineScrollView> scrollView1;
    QPointer<TimelineContentView> scrollContentView;
    QPointer<QSlider> positionSlider;
    QPointer<QAbstractButton> playButton, stopButton, m_btnPlayStop, m_btnShare, m_btnShare1, themeButton,
        syncPhotoMusicButton;
    // The photo commands and the preview's step buttons.
    QPointer<QAbstractButton> addPhotoButton, appendPhotoButton, firstImageButton, previousImageButton,
        nextImageButton, lastImageButton;
    QPointer<QMenu> m_menuShare1;
    QPointer<QAction> burnDVDMenuItem, sepratorShareMenuItem1, aboutAppMenuItem, hideAppMenuItem,
        quitAppMenuItem, websiteAppMenuItem, helpMenuItem, addPhotoMenuItem, appendPhotoMenuItem,
        playMenuItem;
    QPointer<QLabel> timelineTimeText, realTimeText;
    // The project's sound alone, mixed as the preview plays it.
    QPointer<QAction> playMixedAudioMenuItem;
    // The share menu's commands besides Burn DVD, and the DVD-menu page.
    QPointer<QAction> shareMovieMenuItem, shareVideoSiteMenuItem, shareSocialSiteMenuItem, dvdMenuMenuItem;
    // The music commands: songs added and listed, photos fitted to the music, the timeline's style and unit
    // (each unit's action carries its points per second as data).
    QPointer<QAbstractButton> addMusicButton;
    QPointer<QAction> addMusicMenuItem, backgroundMusicListMenuItem, syncPhotoMusicMenuItem,
        timelineModeMenuItem;
    QPointer<QMenu> timelineUnitMenu;
    QPointer<QAction> testAudioLayerMenuItem, testTextLayerMenuItem, playSongTestMenuItem;
    // The developers' test commands, one submenu for every command's tests.
    QPointer<QMenu> testMenu;
    QPointer<QAction> encodeDVDMenuMenuItem, testDVDMenuMenuItem, testSpumuxMenuItem;
    // The layout: the splitter between the preview's column (splitRightView, whose leftPanelView is the
    // preview host) and the side panel (the side bar and rightPanelView, which holds mediaBrowserView).
    QPointer<QSplitter> splitView;
    QPointer<QWidget> leftPanelView, rightPanelView, splitRightView, mediaBrowserView;
    QPointer<SDSideBar> sideBarDefault;
    QPointer<ImageBrowserObject> mediaBrowserObj;
    QPointer<SlideshowWindowControllerObj> windowController;
    QPointer<QAction> optionsMenuItem, toggleFullScreenMenuItem;
    // Add Video, and the button that shows or hides the editing toolbox.
    QPointer<QAbstractButton> addVideoButton, toolboxButton;
    QPointer<QAction> addVideoMenuItem;
    // The composition test commands: a composition slide, a clip played through a composition, and the test
    // composition rendered in the preview.
    QPointer<QAction> addCompositionTestMenuItem, addClipCompositionTestMenuItem,
        renderCompositionTestMenuItem;
};
