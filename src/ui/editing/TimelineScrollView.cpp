#include "ui/editing/TimelineScrollView.h"

#include "ui/editing/TimelineContentView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

TimelineScrollView::TimelineScrollView(QWidget* parent)
    : QScrollArea(parent), content(new TimelineContentView) {
    setObjectName("scrollView1");
    setWidget(content); // the scroller owns it
    setWidgetResizable(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    setFixedHeight(TimelineContentView::kHeight + horizontalScrollBar()->sizeHint().height());
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

QRectF TimelineScrollView::visibleRect() const {
    return QRectF(horizontalScrollBar()->value(), 0, viewport()->width(), viewport()->height());
}

void TimelineScrollView::scrollToX(double x) {
    horizontalScrollBar()->setValue(int(x));
}

bool TimelineScrollView::accepts(const QMimeData* data) const {
    for (const QString& type : draggedTypes)
        if (data->hasFormat(type))
            return true;
    return false;
}

void TimelineScrollView::dragEnterEvent(QDragEnterEvent* event) {
    if (accepts(event->mimeData()))
        event->acceptProposedAction();
}

void TimelineScrollView::dragMoveEvent(QDragMoveEvent* event) {
    if (accepts(event->mimeData()))
        event->acceptProposedAction();
}

void TimelineScrollView::dropEvent(QDropEvent* event) {
    if (!delegate || !event->mimeData()->hasUrls())
        return;
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    const QPointF position = content->mapFrom(this, event->position().toPoint());
    delegate->AcceptFileDropped(paths, insertIndexForDrop(position));
}

int TimelineScrollView::insertIndexForDrop(const QPointF&) const {
    return kInsertAfterLast;
}
