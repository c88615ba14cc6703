#pragma once

#include "model/SlideItem.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class ClipMediaPlayer;
class ControllerDialogs;
class QuartzSlideItem;
class QWidget;
class SlideshowMainObject;
class SlideshowProject;
class TimeLineCellViewController;
class VideoPlaybackViewController;
struct MainWindowOutlets;

// The document window's video clips: clips chosen or dropped, copied one after another into the project
// under their copy windows and added as clip slides; the clip's own player in place of the preview; playing
// from the position slider; the composition test commands. Main thread only. The window's other parts are
// reached through the hub's public methods.
class ClipSlides {
public:
    ClipSlides(SlideshowMainObject& hub, ControllerDialogs& dialogs,
               std::shared_ptr<platform::Scheduler> scheduler, const MainWindowOutlets& ui,
               ProjectSource project);
    // Requests still delayed are dropped and the clip player stops.
    ~ClipSlides();
    ClipSlides(const ClipSlides&) = delete;
    ClipSlides& operator=(const ClipSlides&) = delete;

    // No further request is copied: the one under its copy window is the last.
    void stopImporting() { stopping = true; }

    // ---- import
    // The Add Video command: every clip chosen is appended.
    void chooseAndAppendClips();
    // Clips at slot `index`: at or past the end, or negative, they are appended; otherwise they keep their
    // order from the slot on. Files that are no clips are named together in one alert.
    void importClips(const QStringList& paths, int index);
    void appendClip(const QString& path);
    void insertClip(const QString& path, int index);
    // True when no clip request waits, is delayed or is being copied.
    bool isIdle() const;

    // ---- the composition test commands
    void chooseCompositionSlide();
    void chooseClipCompositionSlide();
    void renderTestComposition();

    // ---- the clip's player in place of the preview
    VideoPlaybackViewController* player() const;
    void setPlayerFactory(std::function<std::unique_ptr<ClipMediaPlayer>()> factory);
    void showPlayer(const SlideItemRef& slide);
    // The player goes and the preview is shown again.
    void stopPlayer();
    // The inspector of a clip slide; null for any other slide.
    QWidget* makeInspector(const SlideItemRef& slide) const;

    // ---- the position slider
    void playFromFrame(int frame);

private:
    struct Request {
        QString path;
        bool insert = false;
        qint64 insertIndex = 0;
    };
    void schedule(Request request);
    void runRequests();
    void copyAndAdd(const Request& request);
    // The chosen composition as the project's own file or one of ours; empty when it cannot be.
    QString compositionInProject(const QString& chosen);
    void appendCompositionSlide(const std::shared_ptr<QuartzSlideItem>& slide);
    void finishAddingSlide(SlideshowProject& project);

    SlideshowMainObject& hub;
    ControllerDialogs& dialogs;
    std::shared_ptr<platform::Scheduler> clock;
    const MainWindowOutlets& ui;
    ProjectSource currentProject;

    std::vector<platform::Scheduler::Handle> delays;
    std::deque<Request> requests;
    bool copying = false;
    bool stopping = false;
    QPointer<VideoPlaybackViewController> clipPlayer;
    std::function<std::unique_ptr<ClipMediaPlayer>()> playerFactory;
};
