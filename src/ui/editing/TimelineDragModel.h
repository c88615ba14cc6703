#pragma once

#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "ui/editing/ProjectSource.h"

#include <QPointF>

#include <functional>

// What a drag over the strip carries, named by the first of its types in this order.
enum class TimelineDragKind { Slide, TextLayer, AudioLayer, Files, Other };

// The content view's side of a drag: what its drawing shows while something is dragged over it.
struct TimelineDrawState {
    int nTimelineViewState = 0; // timeline_layout::ViewState
    float fDraggingPosition = 0.0f;
    float fDraggingStartPositionDelta = 0.0f;
    quint64 nInsertPositionIndex = 0;
    // The layer item out of its array while it is dragged; kept after the drag, read only in states 2 and 3.
    SlideItemRef itemBeingDragging;
    MusicItemRef musicItemBeingDragging;
};

// The strip's drags without widgets: taking a slide or layer item out of the strip's project when its drag
// begins, following the pointer, and putting the item back where a drop or an abandoned drag leaves it.
// The arrays are snapshots, so every change sets a new list on the project. Main thread only.
class TimelineDragModel {
public:
    // The project the strip shows, asked at each step: opening another document replaces it between drags.
    struct Hooks {
        std::function<void()> redraw;
        std::function<void()> layoutMusicSubViews;
        std::function<void(int)> setNCurrentSlideshowItemIndex;
        // A slide went back into the strip, wherever it went.
        std::function<void()> slidesReordered;
    };

    TimelineDragModel(ProjectSource project, TimelineDrawState& view, Hooks hooks);

    // The layer item under the point, -1 for none; a hit records the grab offset (the point's x minus the
    // item's left edge) here and in the view.
    int textLayerIndexAt(const QPointF& point);
    int audioLayerIndexAt(const QPointF& point);

    // A slide's drag: the slide stays in the project until the session is about to begin.
    void beginSlideDrag(int index);
    void slideDragWillBegin();
    // A layer item's drag: the item leaves its array at once and the view holds it.
    void beginTextLayerDrag(int index);
    void beginAudioLayerDrag(int index);

    // The pointer at strip x: a layer drag moves its cursor; anything else moves the insert marker.
    void updateInsertState(double x, TimelineDragKind kind);
    // Back to idle, without a marker or cursor.
    void clearInsertState();
    // A drop on the strip. Files are the caller's: this only tells where (nInsertItemIndex).
    void performDrop(TimelineDragKind kind);
    // A drag of ours that ended nowhere: the slide goes in at the last marker position and becomes the
    // current slide; a layer item lands at the last drag position.
    void dragEndedWithNoOperation(TimelineDragKind kind);

    float dragTextDeltaX() const { return grabOffset; }
    bool bDraggingHasPhoto() const { return draggingHasPhoto; }
    void setBDraggingHasPhoto(bool value) { draggingHasPhoto = value; }
    int nInsertItemIndex() const { return insertIndex; }
    void setNInsertItemIndex(int index) { insertIndex = index; }
    int nDraggingItemIndex() const { return draggingIndex; }
    SlideItemRef draggingItem() const { return slide; }
    int nTimelineCellWidth() const { return cellWidth; }
    void setNTimelineCellWidth(int width) { cellWidth = width; }

private:
    void recordGrab(const QRectF& itemRect, const QPointF& point);
    void putSlideBack(bool makeCurrent);
    void dropTextLayerItem();
    void dropAudioLayerItem();
    void slidesChanged();
    void redraw();

    ProjectSource projectSource;
    TimelineDrawState& view;
    Hooks hooks;
    float grabOffset = 0.0f;
    bool draggingHasPhoto = false;
    int insertIndex = 0;
    int draggingIndex = 0;
    SlideItemRef slide;
    int cellWidth = 170;
};
