#pragma once

#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"
#include "ui/editing/TimelineDragModel.h"
#include "ui/editing/TimelineDraggingDestination.h"

#include <QColor>
#include <QPointer>
#include <QScrollArea>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

class QDrag;
class QMimeData;
class SlideshowMainObject;
class TimelineContentView;

// Who takes the files dropped on the timeline strip.
class TimelineScrollViewDelegate {
public:
    virtual ~TimelineScrollViewDelegate() = default;
    // Files dropped on the strip, to go at slot `index` (50000: after the last slide).
    virtual void AcceptFileDropped(const QStringList& paths, int index) = 0;
};

// The timeline strip: a horizontal scroller round the content view, which only draws. Every decision about
// the pointer is made here: what a click hits and which notification it posts, which drag a press starts,
// where a dragged slide or dropped files land, how the strip scrolls near its ends during a drag, and what
// the project holds after a drop or an abandoned drag. Clicks and drags reach it through its viewport, in the
// viewport's coordinates; the project's rectangles are in timeline coordinates (y up).
class TimelineScrollView : public QScrollArea, public TimelineDraggingDestination {
    Q_OBJECT
public:
    static constexpr int kInsertAfterLast = 50000;
    // The MIME type that carries file names.
    static QString fileNamesType() { return QStringLiteral("text/uri-list"); }
    // The strip's own drag types; they carry no data.
    static QString cellDragType() { return QStringLiteral("com.qorvane.timelinecelldraganddrop"); }
    static QString textLayerDragType() { return QStringLiteral("com.qorvane.timelineTextdraganddrop"); }
    static QString audioLayerDragType() { return QStringLiteral("com.qorvane.timelineAudiodraganddrop"); }
    static QString backgroundMusicDragType() {
        return QStringLiteral("com.qorvane.timelineBkMusicdraganddrop");
    }
    // The session of one drag of ours, blocking until it ends; the drop action it ended with.
    using DragRunner = std::function<Qt::DropAction(QDrag& drag)>;

    // The strip shows and edits the project the source answers.
    explicit TimelineScrollView(ProjectSource project, QWidget* parent = nullptr);
    ~TimelineScrollView() override;

    TimelineContentView* contentView() const { return content; }
    void registerForDraggedTypes(const QStringList& types) { draggedTypes = types; }
    QStringList registeredDraggedTypes() const { return draggedTypes; }
    void setDelegate(TimelineScrollViewDelegate* dropDelegate) { delegate = dropDelegate; }
    TimelineScrollViewDelegate* dropDelegate() const { return delegate; }
    void setMainObject(SlideshowMainObject* object);
    SlideshowMainObject* slideshowMainObject() const;
    // The picture shown where dragged slides would go (hidden until a drag needs it).
    void setBlankImageView(QWidget* view);
    QWidget* blankImageView() const { return blankView; }
    void setBackgroundColor(const QColor& colour);
    int nTimelineCellWidth() const { return model.nTimelineCellWidth(); }
    void setNTimelineCellWidth(int width) { model.setNTimelineCellWidth(width); }
    // Where the autoscroll and the delayed drag are scheduled (the main thread's timers by default).
    void setScheduler(std::shared_ptr<platform::Scheduler> scheduler);
    // Tests replace the platform's drag loop.
    void setDragRunner(DragRunner runner) { dragRunner = std::move(runner); }

    // The part of the content view in sight, in its coordinates (x and width are what the callers use).
    QRectF visibleRect() const;
    void scrollToX(double x);
    // A viewport point in timeline coordinates.
    QPointF timelinePoint(const QPointF& viewportPoint) const;
    // The slot a drop at `position` (in the content view) goes to.
    int insertIndexForDrop(const QPointF& position) const;

    // ---- drag state
    TimelineDragModel& dragModel() { return model; }
    float dragTextDeltaX() const { return model.dragTextDeltaX(); }
    bool bDraggingHasPhoto() const { return model.bDraggingHasPhoto(); }
    bool bDraggingStarted() const { return draggingStarted; }
    int nInsertItemIndex() const { return model.nInsertItemIndex(); }
    int nDraggingItemIndex() const { return model.nDraggingItemIndex(); }
    SlideItemRef draggingItem() const { return model.draggingItem(); }

    // ---- clicks (points in timeline coordinates unless named otherwise)
    // The click at a viewport point: layer selections, then the first slide part hit, posted by name.
    void ProcessMouseUp(const QPointF& viewportPoint, const QVariantMap& mouseEvent = {});
    void checkTextLayerSelectedState(const QPointF& point);
    void checkAudioTextLayerSelectedState(const QPointF& point);
    int getClickedItemIndex(const QPointF& point) const;
    int getClickedItemIndex_TextLayer(const QPointF& point);
    int getClickedItemIndex_AudioLayer(const QPointF& point);

    // ---- drags of ours
    // Starts the drag of whatever lies under the viewport point: a slide, else a text, else an audio item.
    void startDragdingTimelineCellView(const QPointF& viewportPoint);
    void startDraggingPhotoVideoItem(const QPointF& viewportPoint, int index);
    void startDraggingTextLayerItem(const QPointF& viewportPoint, int index);
    void startDraggingAudioLayerItem(const QPointF& viewportPoint, int index);
    // Starts a drag from the press `seconds` on, unless one has started by then.
    void schedulePopOut(double seconds);
    void popOutTimerCallback();

    // ---- drags over the strip
    static TimelineDragKind dragKindOf(const QMimeData& data);
    bool hasPhotoInDragging(const QMimeData& data) const;
    void updateScrollView(const QPointF& viewportPoint, const QMimeData& data);
    void updateScrollViewWithoutInsert();
    void timerAutoscrollCallback();
    bool isAutoscrolling() const { return autoTimer.isActive(); }
    Qt::DropAction draggingEntered(const QMimeData& data, const QPointF& globalPoint,
                                   Qt::MouseButtons buttons) override;
    Qt::DropAction draggingUpdated(const QMimeData& data, const QPointF& globalPoint,
                                   Qt::MouseButtons buttons) override;
    void draggingExited() override;
    bool performDragOperation(const QMimeData& data, const QPointF& globalPoint) override;
    void concludeDragOperation();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    SlideshowProjectRef openProject() const { return projectSource(); }
    bool accepts(const QMimeData* data) const;
    // True when the press or double click was over a song panel, which got it.
    bool forwardToSongPanel(QMouseEvent& event);
    bool layerItemAt(const QPointF& viewportPoint);
    // The project's rectangles as a drawing would leave them, before a click or drag is measured against
    // them: the project may have changed since the strip last drew.
    void layOut();
    void redrawVisible();
    // The drag picture's place in the viewport: the item's rectangle lowered by 20 and `extraHeight` taller.
    QRectF draggingFrame(const QRectF& itemRect, double extraHeight) const;
    Qt::DropAction runDrag(const QString& type, const QImage& picture, const QRectF& frame,
                           const QPointF& viewportPoint);
    void noteDragPointer(const QPointF& globalPoint, Qt::MouseButtons buttons);
    // The gap or the layer cursor under the pointer for the drag over the strip now.
    void followDragPointer(const QPointF& viewportPoint);

    ProjectSource projectSource;
    TimelineContentView* content;
    TimelineDragModel model;
    QStringList draggedTypes;
    TimelineScrollViewDelegate* delegate = nullptr;
    QPointer<QObject> mainObject;
    QPointer<QWidget> blankView;
    std::shared_ptr<platform::Scheduler> clock;
    DragRunner dragRunner;
    platform::Scheduler::Handle autoTimer;
    platform::Scheduler::Handle popOutTimer;
    bool pressed = false;
    bool draggingStarted = false;
    QPointF pressPoint;
    QPointF dragPointer; // the pointer of the last drag event, in the viewport
    Qt::MouseButtons dragButtons;
    TimelineDragKind dragKind = TimelineDragKind::Other; // of the drag over the strip
};
