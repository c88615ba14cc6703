#include "ui/controls/RLListViewCell.h"

#include "ui/controls/RLListView.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double kMarkWidth = 2.0;

QColor alternateSelectedControlColour(const QWidget& widget) {
    return widget.palette().color(QPalette::Highlight).darker(120);
}

} // namespace

// ---- the cell

RLListViewCell::RLListViewCell(const QString& reusableIdentifier, QWidget* parent)
    : QWidget(parent), identifier(reusableIdentifier) {}

void RLListViewCell::setDropHighlight(RLListViewDropHighlight value) {
    if (list)
        list->setShowsDropHighlight(value != RLDropHighlightNone);
    highlight = value;
    update();
}

bool RLListViewCell::isSelected() const {
    return list && list->selectedRows().count(shownRow) != 0;
}

void RLListViewCell::prepareForReuse() {
    highlight = RLDropHighlightNone;
    update();
}

void RLListViewCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawDropHighlight(painter);
}

// Widgets have their y axis down: above is the top edge, below the bottom edge.
void RLListViewCell::drawDropHighlight(QPainter& painter) {
    if (highlight == RLDropHighlightNone)
        return;
    painter.save();
    painter.setPen(QPen(alternateSelectedControlColour(*this), kMarkWidth));
    painter.setBrush(Qt::NoBrush);
    const QRectF bounds = rect();
    if (highlight == RLDropHighlightOn)
        painter.drawRect(bounds.adjusted(1.0, 1.0, -1.0, -1.0));
    else if (highlight == RLDropHighlightAbove)
        painter.drawRect(QRectF(bounds.x(), bounds.top() - 1.0, bounds.width(), 2.0));
    else if (highlight == RLDropHighlightBelow)
        painter.drawRect(QRectF(bounds.x(), bounds.bottom() - 3.0, bounds.width(), 2.0));
    painter.restore();
}

void RLListViewCell::mousePressEvent(QMouseEvent* event) {
    if (list && event->button() == Qt::LeftButton)
        list->handleMouseDown(event, this);
}

void RLListViewCell::mouseDoubleClickEvent(QMouseEvent* event) {
    if (list && event->button() == Qt::LeftButton)
        list->handleMouseDown(event, this, 2);
}

void RLListViewCell::mouseMoveEvent(QMouseEvent* event) {
    if (list)
        list->handleMouseMoved(event->globalPosition());
}

void RLListViewCell::mouseReleaseEvent(QMouseEvent*) {
    if (list)
        list->handleMouseUp();
}

// ---- the document view

RLListDocumentView::RLListDocumentView(RLListView* owner, QWidget* parent) : QWidget(parent), list(owner) {}

void RLListDocumentView::setDropHighlight(RLListViewDropHighlight value) {
    highlight = value;
    update();
}

void RLListDocumentView::paintEvent(QPaintEvent*) {
    if (highlight == RLDropHighlightNone || !list)
        return;
    QPainter painter(this);
    painter.setBrush(Qt::NoBrush);
    const QRectF visibleArea = list->documentVisibleRect();
    painter.setPen(QPen(palette().color(QPalette::Highlight), kMarkWidth));
    painter.drawRect(visibleArea.adjusted(1.0, 1.0, -1.0, -1.0));
    if (highlight != RLDropHighlightAbove && highlight != RLDropHighlightBelow)
        return;
    painter.setPen(QPen(alternateSelectedControlColour(*this), kMarkWidth));
    const std::size_t count = list->numberOfRows();
    if (count > 0) {
        const QRectF last = list->rectOfRow(count - 1);
        painter.drawRect(QRectF(last.x(), last.bottom() - 2.0, last.width(), 2.0));
    } else {
        painter.drawRect(QRectF(0.0, -2.0, width(), 2.0));
    }
}

void RLListDocumentView::mousePressEvent(QMouseEvent* event) {
    if (list && event->button() == Qt::LeftButton)
        list->handleMouseDownOutsideCells(event->position());
}
