#pragma once

#include "ui/controls/SDSideBar.h"

#include <QObject>
#include <QPointer>
#include <QSplitter>
#include <QWidget>

#include <functional>

class ImageBrowserObject;

// The document window's layout keeper: it hosts the preview and the side panel, builds the side bar of five
// entries that switch the side panel, follows full screen, posts "NOTIFY_WINDOW_SIZE_CHANGED" whenever the
// window, its splitter or its full-screen state changes size, and ends the application when the window
// closes.
class SlideshowWindowControllerObj : public QObject, public SDSideBarDelegate {
    Q_OBJECT
public:
    struct Views {
        QWidget* mainWindow = nullptr;
        QWidget* leftPanelView = nullptr; // hosts the preview
        QWidget* rightPanelView = nullptr;
        QWidget* splitRightView = nullptr;
        QWidget* mediaBrowserView = nullptr;
        QSplitter* splitView = nullptr;
        SDSideBar* sideBarDefault = nullptr;
        ImageBrowserObject* mediaBrowserObj = nullptr;
    };

    explicit SlideshowWindowControllerObj(const Views& views, QObject* parent = nullptr);

    void awakeFromNib();
    void positionSubView();
    void setupSideBar();
    // The notch beside the selected entry: 12 x 22, its two slanted edges pointing left.
    static QImage buildSelectionImage(const QColor& fill);
    // The entries' pictures, drawn here: blue for the chosen entry, white for the others.
    static QIcon sideBarIcon(const QString& name);

    void sideBarDidSelectButton(SDSideBar& bar, unsigned index) override;
    void toggleFullScreenClicked();
    bool bFullScreen() const { return fullScreen; }
    int nMediaBrowserContainerWidth() const { return mediaBrowserWidth; }
    // Closing the window asks this to end the application (by default, the application quits).
    void setTerminateAction(std::function<void()> action) { terminate = std::move(action); }
    // What a person would ask in a timeline window of its own; closed when full screen ends.
    void setTimelineWindow(QWidget* window) { timelineWindowController = window; }
    void logThis() {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void postSizeChanged();
    void windowDidResize();
    void windowWillEnterFullScreen();
    void windowDidEnterFullScreen();
    void windowWillExitFullScreen();
    void windowDidExitFullScreen();
    bool windowShouldClose();

    Views ui;
    bool fullScreen = false;
    bool toggling = false;
    bool awoken = false;
    int mediaBrowserWidth = 350;
    QPointer<QWidget> timelineWindowController;
    std::function<void()> terminate;
};
