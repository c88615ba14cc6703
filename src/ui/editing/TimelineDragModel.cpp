#include "ui/editing/TimelineDragModel.h"

#include "model/SlideshowProject.h"
#include "ui/editing/TimelineLayout.h"

#include <algorithm>

namespace {

template <typename Item> bool validIndex(const std::vector<Item>& items, int index) {
    return index >= 0 && std::size_t(index) < items.size();
}

// Appends the item unless the list holds it already, so that a repeated drop never lists it twice.
template <typename Item> std::vector<Item> appended(std::vector<Item> items, const Item& item) {
    if (std::find(items.begin(), items.end(), item) == items.end())
        items.push_back(item);
    return items;
}

float droppedStart(const SlideshowProject& project, float dragPosition, float grabOffset) {
    return timeline_layout::layerStartTime(project.slideshowArray(), project.nTimelineStyle(),
                                           project.nTimelinePixelPerSecond(), dragPosition, grabOffset);
}

} // namespace

TimelineDragModel::TimelineDragModel(ProjectSource project, TimelineDrawState& view, Hooks hooks)
    : projectSource(std::move(project)), view(view), hooks(std::move(hooks)) {}

void TimelineDragModel::recordGrab(const QRectF& itemRect, const QPointF& point) {
    grabOffset = float(point.x() - itemRect.x());
    view.fDraggingStartPositionDelta = grabOffset;
}

int TimelineDragModel::textLayerIndexAt(const QPointF& point) {
    const auto project = projectSource();
    if (!project)
        return -1;
    const auto items = project->textLayerArray();
    const int index = timeline_layout::itemIndexAt(items, point);
    if (index >= 0)
        recordGrab(items[std::size_t(index)]->timelineRect(), point);
    return index;
}

int TimelineDragModel::audioLayerIndexAt(const QPointF& point) {
    const auto project = projectSource();
    if (!project)
        return -1;
    const auto items = project->audioLayerArray();
    const int index = timeline_layout::itemIndexAt(items, point);
    if (index >= 0)
        recordGrab(items[std::size_t(index)]->timelineRect(), point);
    return index;
}

void TimelineDragModel::beginSlideDrag(int index) {
    draggingHasPhoto = true;
    draggingIndex = index;
}

void TimelineDragModel::slideDragWillBegin() {
    const auto project = projectSource();
    if (!project)
        return;
    auto slides = project->slideshowArray();
    if (!validIndex(slides, draggingIndex))
        return;
    slide = slides[std::size_t(draggingIndex)];
    project->setSlideOutForDrag(slide, std::size_t(draggingIndex));
    slides.erase(slides.begin() + draggingIndex);
    project->setSlideshowArray(std::move(slides));
    slidesChanged();
}

void TimelineDragModel::beginTextLayerDrag(int index) {
    draggingHasPhoto = true;
    draggingIndex = index;
    const auto project = projectSource();
    if (!project)
        return;
    auto items = project->textLayerArray();
    if (!validIndex(items, index))
        return;
    view.itemBeingDragging = items[std::size_t(index)];
    items.erase(items.begin() + index);
    project->setTextLayerArray(std::move(items));
}

void TimelineDragModel::beginAudioLayerDrag(int index) {
    draggingHasPhoto = true;
    draggingIndex = index;
    const auto project = projectSource();
    if (!project)
        return;
    auto items = project->audioLayerArray();
    if (!validIndex(items, index))
        return;
    view.musicItemBeingDragging = items[std::size_t(index)];
    items.erase(items.begin() + index);
    project->setAudioLayerArray(std::move(items));
}

void TimelineDragModel::updateInsertState(double x, TimelineDragKind kind) {
    if (kind == TimelineDragKind::TextLayer || kind == TimelineDragKind::AudioLayer) {
        view.nTimelineViewState = kind == TimelineDragKind::TextLayer ? timeline_layout::kStateTextDrag
                                                                      : timeline_layout::kStateAudioDrag;
        view.fDraggingPosition = float(x);
        redraw();
        return;
    }
    const auto project = projectSource();
    insertIndex = project ? timeline_layout::insertIndex(project->slideshowArray(), x, cellWidth)
                          : timeline_layout::kInsertAfterLast;
    view.nTimelineViewState = timeline_layout::kStateInsert;
    view.nInsertPositionIndex = quint64(qint64(insertIndex));
    redraw();
}

void TimelineDragModel::clearInsertState() {
    view.nTimelineViewState = timeline_layout::kStateIdle;
    redraw();
}

void TimelineDragModel::performDrop(TimelineDragKind kind) {
    switch (kind) {
    case TimelineDragKind::Slide:
        putSlideBack(false);
        break;
    case TimelineDragKind::TextLayer:
        dropTextLayerItem();
        break;
    case TimelineDragKind::AudioLayer:
        dropAudioLayerItem();
        break;
    case TimelineDragKind::Files:
    case TimelineDragKind::Other:
        break;
    }
}

void TimelineDragModel::dragEndedWithNoOperation(TimelineDragKind kind) {
    if (kind == TimelineDragKind::Slide)
        putSlideBack(true);
    else if (kind == TimelineDragKind::TextLayer)
        dropTextLayerItem();
    else if (kind == TimelineDragKind::AudioLayer)
        dropAudioLayerItem();
    clearInsertState();
}

// The slide goes in before the slide the marker stood on, or after the last one. Left nowhere, it also
// becomes the current slide. The model lets it go, so that it can never be put in twice.
void TimelineDragModel::putSlideBack(bool makeCurrent) {
    const auto project = projectSource();
    if (makeCurrent && hooks.setNCurrentSlideshowItemIndex)
        hooks.setNCurrentSlideshowItemIndex(-1);
    if (!project || !slide)
        return;
    auto slides = project->slideshowArray();
    if (validIndex(slides, insertIndex)) {
        slides.insert(slides.begin() + insertIndex, slide);
    } else {
        slides.push_back(slide);
        if (makeCurrent)
            insertIndex = int(slides.size()) - 1;
    }
    slide.reset();
    project->setSlideshowArray(std::move(slides));
    project->setSlideOutForDrag(nullptr, 0);
    if (makeCurrent && hooks.setNCurrentSlideshowItemIndex)
        hooks.setNCurrentSlideshowItemIndex(insertIndex);
    slidesChanged();
    if (hooks.slidesReordered)
        hooks.slidesReordered();
}

void TimelineDragModel::dropTextLayerItem() {
    const auto project = projectSource();
    if (!project)
        return;
    const SlideItemRef item = view.itemBeingDragging;
    if (item) {
        item->setFSecStartTimePosition(droppedStart(*project, view.fDraggingPosition, grabOffset));
        project->setTextLayerArray(appended(project->textLayerArray(), item));
    }
    clearInsertState();
    project->ClearAllAudioLayerSelectedState();
    if (item)
        item->setBSelectedState(true);
    redraw();
}

void TimelineDragModel::dropAudioLayerItem() {
    const auto project = projectSource();
    if (!project)
        return;
    const MusicItemRef item = view.musicItemBeingDragging;
    if (item) {
        item->setFStartPosition(droppedStart(*project, view.fDraggingPosition, grabOffset));
        project->setAudioLayerArray(appended(project->audioLayerArray(), item));
    }
    clearInsertState();
    project->ClearAllAudioLayerSelectedState();
    if (item)
        item->setBSelectedState(true);
    redraw();
}

// The rectangles follow at once, so that the next drag event measures the new order, not the last drawing.
void TimelineDragModel::slidesChanged() {
    if (const auto project = projectSource()) {
        project->setBIsDirty(true);
        project->calcSlideItemsPhotoTransitionDuration();
        project->updateTimelineItemsPosition();
    }
    if (hooks.layoutMusicSubViews)
        hooks.layoutMusicSubViews();
    redraw();
}

void TimelineDragModel::redraw() {
    if (hooks.redraw)
        hooks.redraw();
}
