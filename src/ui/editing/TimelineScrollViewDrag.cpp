// The strip's drag and drop: the drags it starts (slides, text and audio layer items) and the drags that
// come over it (its own, files, background music), with the autoscroll near its ends.
#include "ui/editing/TimelineScrollView.h"

#include "model/SlideshowProject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/main/SlideshowMainObject.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

namespace {

constexpr double kAutoscrollPeriod = 0.1;

QStringList localFiles(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

// ---- drags of ours

void TimelineScrollView::startDragdingTimelineCellView(const QPointF& viewportPoint) {
    layOut();
    const QPointF point = timelinePoint(viewportPoint);
    if (const int slide = getClickedItemIndex(point); slide >= 0)
        startDraggingPhotoVideoItem(viewportPoint, slide);
    else if (const int text = getClickedItemIndex_TextLayer(point); text >= 0)
        startDraggingTextLayerItem(viewportPoint, text);
    else if (const int audio = getClickedItemIndex_AudioLayer(point); audio >= 0)
        startDraggingAudioLayerItem(viewportPoint, audio);
}

void TimelineScrollView::startDraggingPhotoVideoItem(const QPointF& viewportPoint, int index) {
    const auto project = openProject();
    if (!project || index < 0 || std::size_t(index) >= project->slideCount())
        return;
    model.beginSlideDrag(index);
    const SlideItemRef slide = project->slideItemAtIndex(std::size_t(index));
    const QImage picture = content->dragImageForItem(*slide);
    const QRectF frame = draggingFrame(slide->timelineRect(), 0);
    // The slide leaves the strip as the session begins, before the platform's loop takes over.
    model.slideDragWillBegin();
    if (runDrag(cellDragType(), picture, frame, viewportPoint) == Qt::IgnoreAction)
        model.dragEndedWithNoOperation(TimelineDragKind::Slide);
}

void TimelineScrollView::startDraggingTextLayerItem(const QPointF& viewportPoint, int index) {
    const auto project = openProject();
    const auto items = project ? project->textLayerArray() : std::vector<SlideItemRef>();
    if (index < 0 || std::size_t(index) >= items.size())
        return;
    const SlideItemRef item = items[std::size_t(index)];
    model.beginTextLayerDrag(index);
    const QImage picture = content->dragImageForTextLayerItem(*item);
    content->update();
    if (runDrag(textLayerDragType(), picture, draggingFrame(item->timelineRect(), 10), viewportPoint) ==
        Qt::IgnoreAction)
        model.dragEndedWithNoOperation(TimelineDragKind::TextLayer);
}

void TimelineScrollView::startDraggingAudioLayerItem(const QPointF& viewportPoint, int index) {
    const auto project = openProject();
    const auto items = project ? project->audioLayerArray() : std::vector<MusicItemRef>();
    if (index < 0 || std::size_t(index) >= items.size())
        return;
    const MusicItemRef item = items[std::size_t(index)];
    model.beginAudioLayerDrag(index);
    const QImage picture = content->dragImageForAudioLayerItem(*item);
    content->update();
    if (runDrag(audioLayerDragType(), picture, draggingFrame(item->timelineRect(), 10), viewportPoint) ==
        Qt::IgnoreAction)
        model.dragEndedWithNoOperation(TimelineDragKind::AudioLayer);
}

QRectF TimelineScrollView::draggingFrame(const QRectF& itemRect, double extraHeight) const {
    const QRectF lowered(itemRect.x(), itemRect.y() - 20, itemRect.width(), itemRect.height() + extraHeight);
    const QRectF inContent = TimelineContentView::toWidget(lowered);
    return QRectF(content->mapTo(viewport(), inContent.topLeft()), inContent.size());
}

Qt::DropAction TimelineScrollView::runDrag(const QString& type, const QImage& picture, const QRectF& frame,
                                           const QPointF& viewportPoint) {
    auto data = std::make_unique<QMimeData>();
    data->setData(type, QByteArray());
    QPointer<QDrag> drag = new QDrag(this); // the platform's drag loop lets it go when the drag ends
    drag->setMimeData(data.release());
    if (!picture.isNull()) {
        drag->setPixmap(QPixmap::fromImage(picture));
        drag->setHotSpot((viewportPoint - frame.topLeft()).toPoint());
    }
    const Qt::DropAction action = dragRunner ? dragRunner(*drag) : drag->exec(Qt::CopyAction, Qt::CopyAction);
    if (drag)
        drag->deleteLater();
    return action;
}

// ---- drags over the strip

TimelineDragKind TimelineScrollView::dragKindOf(const QMimeData& data) {
    if (data.hasFormat(cellDragType()))
        return TimelineDragKind::Slide;
    if (data.hasFormat(textLayerDragType()))
        return TimelineDragKind::TextLayer;
    if (data.hasFormat(audioLayerDragType()))
        return TimelineDragKind::AudioLayer;
    if (data.hasFormat(fileNamesType()))
        return TimelineDragKind::Files;
    return TimelineDragKind::Other;
}

bool TimelineScrollView::hasPhotoInDragging(const QMimeData& data) const {
    for (const QString& type :
         {cellDragType(), textLayerDragType(), audioLayerDragType(), backgroundMusicDragType()})
        if (data.hasFormat(type))
            return true;
    for (const QString& path : localFiles(data)) {
        const QString extension = QFileInfo(path).suffix().toLower();
        if (SlideshowMainObject::isPhotoFile(extension) || SlideshowMainObject::isVideoFile(extension))
            return true;
    }
    return false;
}

void TimelineScrollView::updateScrollView(const QPointF& viewportPoint, const QMimeData& data) {
    dragKind = dragKindOf(data);
    followDragPointer(viewportPoint);
}

void TimelineScrollView::followDragPointer(const QPointF& viewportPoint) {
    layOut();
    model.updateInsertState(viewportPoint.x() + visibleRect().x(), dragKind);
}

void TimelineScrollView::updateScrollViewWithoutInsert() {
    model.clearInsertState();
}

void TimelineScrollView::noteDragPointer(const QPointF& globalPoint, Qt::MouseButtons buttons) {
    dragPointer = viewport()->mapFromGlobal(globalPoint);
    dragButtons = buttons;
}

Qt::DropAction TimelineScrollView::draggingEntered(const QMimeData& data, const QPointF& globalPoint,
                                                   Qt::MouseButtons buttons) {
    model.setBDraggingHasPhoto(hasPhotoInDragging(data));
    dragKind = dragKindOf(data);
    noteDragPointer(globalPoint, buttons);
    autoTimer = clock->scheduleRepeating(kAutoscrollPeriod, [this] { timerAutoscrollCallback(); });
    return Qt::CopyAction;
}

Qt::DropAction TimelineScrollView::draggingUpdated(const QMimeData& data, const QPointF& globalPoint,
                                                   Qt::MouseButtons buttons) {
    noteDragPointer(globalPoint, buttons);
    updateScrollView(dragPointer, data);
    return Qt::CopyAction;
}

void TimelineScrollView::draggingExited() {
    autoTimer.cancel();
    updateScrollViewWithoutInsert();
}

void TimelineScrollView::concludeDragOperation() {
    draggingExited();
}

// The drop's own point decides, as the last move may have been reported elsewhere.
bool TimelineScrollView::performDragOperation(const QMimeData& data, const QPointF& globalPoint) {
    noteDragPointer(globalPoint, dragButtons);
    updateScrollView(dragPointer, data);
    const TimelineDragKind kind = dragKindOf(data);
    if (kind != TimelineDragKind::Files) {
        model.performDrop(kind);
        return true;
    }
    const QStringList paths = localFiles(data);
    if (delegate && !paths.isEmpty())
        delegate->AcceptFileDropped(paths, model.nInsertItemIndex());
    return true;
}

// One step towards the nearer end while the left button drags near it; the pointer is the last drag
// event's, which stays where the pointer rests. The strip moves under the resting pointer, so the gap (or
// a layer item's cursor) is placed again after each step, where a drop there would land.
void TimelineScrollView::timerAutoscrollCallback() {
    QScrollBar* bar = horizontalScrollBar();
    if (bar->singleStep() == 0 || bar->singleStep() == 1)
        return;
    if (!(dragButtons & Qt::LeftButton) && !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    const double step = timeline_layout::autoscrollStep(dragPointer.x(), width());
    if (step == 0.0)
        return;
    const int before = bar->value();
    bar->setValue(before + int(step));
    if (bar->value() != before)
        followDragPointer(dragPointer);
}

// ---- the platform's drag events, through the viewport

bool TimelineScrollView::accepts(const QMimeData* data) const {
    if (!data)
        return false;
    for (const QString& type : draggedTypes)
        if (data->hasFormat(type))
            return true;
    return false;
}

void TimelineScrollView::dragEnterEvent(QDragEnterEvent* event) {
    if (!accepts(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(
        draggingEntered(*event->mimeData(), viewport()->mapToGlobal(event->position()), event->buttons()));
    event->accept();
}

void TimelineScrollView::dragMoveEvent(QDragMoveEvent* event) {
    if (!accepts(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(
        draggingUpdated(*event->mimeData(), viewport()->mapToGlobal(event->position()), event->buttons()));
    event->accept();
}

void TimelineScrollView::dragLeaveEvent(QDragLeaveEvent*) {
    draggingExited();
}

void TimelineScrollView::dropEvent(QDropEvent* event) {
    if (!accepts(event->mimeData())) {
        event->ignore();
        return;
    }
    performDragOperation(*event->mimeData(), viewport()->mapToGlobal(event->position()));
    event->setDropAction(Qt::CopyAction);
    event->accept();
    concludeDragOperation();
}
