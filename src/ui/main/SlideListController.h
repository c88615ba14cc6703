#pragma once

#include "model/SlideItem.h"
#include "ui/editing/ProjectSource.h"
#include "ui/main/MainWindowOutlets.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <set>
#include <vector>

class ArrangeOrderWndController;
class blankImageWndController;
class ControllerDialogs;
class QDialog;
class SlideshowMainObject;
class SlideshowProject;
class SoundRecorderWndController;
class TimelineThumbnailRefresh;
namespace platform {
struct Notification;
class Scheduler;
} // namespace platform

// The slide list of the document window: blank and wood pictures, the arrange-order window's removals and
// moves, deleting the current slide, the cursor's jumps, slide sounds, and the timeline's rebuild for an
// opened project. It owns the blank-image, arrange-order and sound-recorder windows and the thumbnail
// refresh; the current slide, the preview and the strip stay the hub's and are reached through its public
// methods. Works on the project its source hands it, on the main thread.
class SlideListController {
public:
    using IndexSet = std::set<std::size_t>;
    // What the slide list needs of the hub beyond its public methods.
    struct Hooks {
        // One picture into the project at `slot`, every step at once (the import's single-photo step).
        std::function<void(const QString& path, quint64 slot)> addPicture;
    };

    SlideListController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                        std::shared_ptr<platform::Scheduler> scheduler, const MainWindowOutlets& outlets,
                        ProjectSource project, Hooks hooks);
    // The refresh thread stops first, then the windows go.
    ~SlideListController();
    SlideListController(const SlideListController&) = delete;
    SlideListController& operator=(const SlideListController&) = delete;

    void AddBlankImageFromBundle();
    std::unique_ptr<QDialog> makeBlankImageWindow(bool themeBackground);
    void NotifyInsertBlankImage(const platform::Notification& notification);
    void AddBlankImageButtonClicked();
    void ArrangeSlideOrder();
    void windowWillClose(const platform::Notification& notification);
    void removeItemsAtIndexes(const IndexSet& indexes);
    void moveItemsAtIndexes(const IndexSet& indexes, quint64 destination);
    void slidesReordered();
    void DeleteCurrentPhoto();
    void MoveCursorToFirstSlide();
    void MoveCursorToLastSlide();
    void showSoundRecoderWnd();
    void notifyUpdateSlideItemSound(const platform::Notification& notification);
    void refreshUIForOpenProject();

    blankImageWndController* blankWnd() const;
    ArrangeOrderWndController* arrangeOrderWC() const;
    bool isTimelineRefreshRunning() const;

private:
    SlideItemRef currentSlideItem() const;
    // The slide at `index` current, in view and shown, the next play starting there.
    void moveCursorTo(int index);
    void showCurrentSlide();
    std::vector<SlideItemRef> slides() const;
    // After an insert: the slide now at the current place, shown as the strip marks it.
    void showCurrentSlideAfterInsert();

    SlideshowMainObject& hub;
    ControllerDialogs& dialogs;
    std::shared_ptr<platform::Scheduler> scheduler;
    const MainWindowOutlets& ui;
    ProjectSource project;
    Hooks hooks;

    std::unique_ptr<TimelineThumbnailRefresh> thumbnailRefresh;
    // The windows are the main window's children when there is one, which may delete them first.
    QPointer<blankImageWndController> blankWindow;
    QPointer<ArrangeOrderWndController> arrangeWindow;
    // The recorder windows open now; each goes once closed, its sound reported.
    std::vector<QPointer<SoundRecorderWndController>> recorders;
};
