#include "ui/editing/TimelineScrollView.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/UiNotifications.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/TimelineLayout.h"
#include "ui/main/SlideshowMainObject.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

// Autoscroll does nothing while the scroller's step is 0 or 1, so the strip's is neither.
constexpr int kLineScroll = 10;

void postTimelineNotification(const QString& name, int index, const QVariantMap& userInfo = {}) {
    platform::NotificationCenter::defaultCenter().post(name, index, userInfo);
}

QVariantMap mouseEventInfo(const QMouseEvent& event, const QWidget& receiver) {
    const QWidget* window = receiver.window();
    const QPointF inWindow =
        window ? QPointF(receiver.mapTo(window, event.position().toPoint())) : event.position();
    return {{QStringLiteral("locationInWindow"), inWindow},
            {QStringLiteral("modifiers"), int(event.modifiers())}};
}

} // namespace

TimelineScrollView::TimelineScrollView(ProjectSource project, QWidget* parent)
    : QScrollArea(parent), projectSource(std::move(project)), content(new TimelineContentView(projectSource)),
      model(projectSource, content->drawState(),
            {[this] { content->update(); },
             [this] {
                 if (SlideshowMainObject* main = slideshowMainObject())
                     main->layoutMusicSubViews();
             },
             [this](int index) {
                 if (SlideshowMainObject* main = slideshowMainObject())
                     main->setNCurrentSlideshowItemIndex(index);
             },
             [this] {
                 if (SlideshowMainObject* main = slideshowMainObject())
                     main->slidesReordered();
             }}),
      clock(platform::Scheduler::mainThreadScheduler()) {
    setObjectName("scrollView1");
    setWidget(content); // the scroller owns it
    setWidgetResizable(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setSingleStep(kLineScroll);
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(TimelineContentView::kHeight + horizontalScrollBar()->sizeHint().height());
}

TimelineScrollView::~TimelineScrollView() = default;

void TimelineScrollView::setMainObject(SlideshowMainObject* object) {
    mainObject = object;
}

SlideshowMainObject* TimelineScrollView::slideshowMainObject() const {
    return qobject_cast<SlideshowMainObject*>(mainObject.data());
}

void TimelineScrollView::setBlankImageView(QWidget* view) {
    blankView = view;
    if (view) {
        view->setParent(content);
        view->hide();
    }
}

void TimelineScrollView::setBackgroundColor(const QColor& colour) {
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, colour);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    content->setBackgroundColor(colour);
}

void TimelineScrollView::setScheduler(std::shared_ptr<platform::Scheduler> scheduler) {
    autoTimer.cancel();
    popOutTimer.cancel();
    clock = std::move(scheduler);
}

QRectF TimelineScrollView::visibleRect() const {
    return QRectF(horizontalScrollBar()->value(), 0, viewport()->width(), viewport()->height());
}

void TimelineScrollView::scrollToX(double x) {
    horizontalScrollBar()->setValue(int(x));
}

QPointF TimelineScrollView::timelinePoint(const QPointF& viewportPoint) const {
    return timeline_layout::flipped(content->mapFrom(viewport(), viewportPoint),
                                    TimelineContentView::kHeight);
}

int TimelineScrollView::insertIndexForDrop(const QPointF& position) const {
    const auto project = openProject();
    return project
               ? timeline_layout::insertIndex(project->slideshowArray(), position.x(), nTimelineCellWidth())
               : kInsertAfterLast;
}

void TimelineScrollView::redrawVisible() {
    content->update(visibleRect().toAlignedRect());
}

// ---- the mouse: a press becomes a click at its release, or a drag at its first move inside the strip

// Layer items are drawn above the song panels, and are theirs to press as they are seen.
bool TimelineScrollView::layerItemAt(const QPointF& viewportPoint) {
    const auto project = openProject();
    if (!project)
        return false;
    layOut();
    const QPointF point = timelinePoint(viewportPoint);
    return timeline_layout::itemIndexAt(project->textLayerArray(), point) >= 0 ||
           timeline_layout::itemIndexAt(project->audioLayerArray(), point) >= 0;
}

// The strip's content lets the mouse through to here, so a song panel on it hears of its clicks from here.
bool TimelineScrollView::forwardToSongPanel(QMouseEvent& event) {
    if (layerItemAt(event.position()))
        return false;
    const QPoint inContent = content->mapFrom(viewport(), event.position().toPoint());
    QWidget* under = content->childAt(inContent);
    while (under && under != content && !qobject_cast<WaveFormViewOSX*>(under))
        under = under->parentWidget();
    auto* panel = qobject_cast<WaveFormViewOSX*>(under);
    if (!panel)
        return false;
    // The device and time of the original: the device remembers its last press, which tells double clicks.
    const QPointF local = panel->mapFrom(content, QPointF(inContent));
    QMouseEvent forwarded(event.type(), local, local, event.globalPosition(), event.button(), event.buttons(),
                          event.modifiers(), event.pointingDevice());
    forwarded.setTimestamp(event.timestamp());
    QCoreApplication::sendEvent(panel, &forwarded);
    event.accept();
    return true;
}

void TimelineScrollView::mousePressEvent(QMouseEvent* event) {
    if (forwardToSongPanel(*event))
        return;
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    draggingStarted = false;
    pressed = true;
    pressPoint = event->position();
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

// The second press of a double click arrives as a double click: it is a press like any other.
void TimelineScrollView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TimelineScrollView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed || draggingStarted || !(event->buttons() & Qt::LeftButton))
        return;
    popOutTimer.cancel();
    if (!rect().contains(viewport()->mapTo(this, event->position().toPoint())))
        return;
    draggingStarted = true;
    pressed = false;
    // What was pressed is dragged, held where it was pressed, however far the first move report lies.
    startDragdingTimelineCellView(pressPoint);
}

void TimelineScrollView::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed || event->button() != Qt::LeftButton)
        return;
    pressed = false;
    popOutTimer.cancel();
    ProcessMouseUp(event->position(), mouseEventInfo(*event, *viewport()));
}

void TimelineScrollView::schedulePopOut(double seconds) {
    popOutTimer = clock->scheduleOnce(seconds, [this] { popOutTimerCallback(); });
}

void TimelineScrollView::popOutTimerCallback() {
    if (draggingStarted)
        return;
    draggingStarted = true;
    pressed = false;
    startDragdingTimelineCellView(pressPoint);
}

// ---- clicks

void TimelineScrollView::layOut() {
    if (const auto project = openProject())
        project->updateTimelineItemsPosition();
}

void TimelineScrollView::ProcessMouseUp(const QPointF& viewportPoint, const QVariantMap& mouseEvent) {
    layOut();
    const QPointF point = timelinePoint(viewportPoint);
    checkTextLayerSelectedState(point);
    checkAudioTextLayerSelectedState(point);
    const auto project = openProject();
    if (!project)
        return;
    const auto slides = project->slideshowArray();
    const timeline_layout::ClickHit hit = timeline_layout::hitTestClick(slides, point);
    if (hit.target == timeline_layout::ClickTarget::None)
        return;
    project->setNCurrentSlideItem(quint64(hit.index));
    switch (hit.target) {
    case timeline_layout::ClickTarget::Duration:
        postTimelineNotification(kNotifyTimelineCellDurationClicked, hit.index);
        break;
    case timeline_layout::ClickTarget::Transition:
        postTimelineNotification(kNotifyTimelineCellTransitionClicked, hit.index);
        break;
    default:
        postTimelineNotification(
            kNotifyTimelineCellClicked, hit.index,
            {{QStringLiteral("MouseEvent"), mouseEvent}, {QStringLiteral("MouseLocation"), point}});
        break;
    }
    redrawVisible();
}

// Every item under the point ends up selected, every other one of the same array not.
void TimelineScrollView::checkTextLayerSelectedState(const QPointF& point) {
    if (const auto project = openProject())
        for (const auto& item : project->textLayerArray())
            item->setBSelectedState(timeline_layout::pointInRect(point, item->timelineRect()));
    redrawVisible();
}

void TimelineScrollView::checkAudioTextLayerSelectedState(const QPointF& point) {
    if (const auto project = openProject())
        for (const auto& item : project->audioLayerArray())
            item->setBSelectedState(timeline_layout::pointInRect(point, item->timelineRect()));
    redrawVisible();
}

int TimelineScrollView::getClickedItemIndex(const QPointF& point) const {
    const auto project = openProject();
    return project ? timeline_layout::itemIndexAt(project->slideshowArray(), point) : -1;
}

int TimelineScrollView::getClickedItemIndex_TextLayer(const QPointF& point) {
    return model.textLayerIndexAt(point);
}

int TimelineScrollView::getClickedItemIndex_AudioLayer(const QPointF& point) {
    return model.audioLayerIndexAt(point);
}
