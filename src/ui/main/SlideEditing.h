#pragma once

#include "model/SlideItem.h"
#include "ui/editing/ProjectSource.h"

#include <QVariantMap>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

class SlideshowMainObject;
class SlideshowProject;
class SlideTextures;
namespace platform {
struct Notification;
}

// The timeline's editing of the current slide: the cells' clicks and their transition and duration
// call-outs, and what the editing panels report about the slide (transition, pan and zoom on a copy of
// it, text, rotation, colour). It works on the project it is handed and shows its results through the
// window's hub. Main thread only.
class SlideEditing {
public:
    SlideEditing(SlideshowMainObject& hub, ProjectSource project);

    // The slide at the hub's current index in the project; null when there is none.
    SlideItemRef currentSlideItem() const;
    // The copy of the current slide that the pan-and-zoom panel edits.
    SlideItemRef panZoomTempItem() const { return panZoomCopy; }

    void clearTimelineSelection();
    void createTempSlideItem();
    void setCurrentSlideshowOnTimeline(qint64 index);

    // The cells' clicks and the pop-overs' reports.
    void notifyTimelineCellClicked(const platform::Notification& notification);
    void notifyTimelineCellTransitionClicked(const platform::Notification& notification);
    void notifyTimelineCellDurationClicked(const platform::Notification& notification);
    void notifySetDurationButtonClicked(const platform::Notification& notification);
    void TransitionEffectSelected(const platform::Notification& notification);
    void notifyUpdateSlideItemDuration();
    // The duration or clip pop-over closed itself.
    void durationPanelClosed();
    void UpdateCurrentSlideItemDurationInfo();

    // Pan and zoom.
    void PanZoomValueChanged(const platform::Notification& notification);
    void PanZomSetFrameNotify(int which);
    void showCurrentItemEditingPanZoom(const SlideItemRef& slide);
    void WindowSizeChanged();

    // Text, rotation and colour.
    void FontInfoChanged(const platform::Notification& notification);
    static QVariantMap editSlideItemTextSample();
    void EditSlideItemTextClicked();
    void editSlideItemText(const SlideItemRef& slide);
    void notifyToolboxButtonClicked(const platform::Notification& notification);
    void rotateImageButtonClicked();
    void notifyColorAdjustChanged(const platform::Notification& notification);
    void setColorToCurrentItem(const QVariantMap& adjustment);

private:
    std::vector<SlideItemRef> slides() const;
    void markDirty();
    SlideItemRef makeClickedCellCurrent(const platform::Notification& notification);
    void openDurationCallOut(const SlideItemRef& slide);
    void updateStrip();

    SlideshowMainObject& hub;
    ProjectSource project;
    SlideItemRef panZoomCopy;
    std::shared_ptr<SlideTextures> panZoomTextures;
};
