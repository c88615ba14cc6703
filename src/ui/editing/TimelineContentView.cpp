#include "ui/editing/TimelineContentView.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

TimelineContentView::TimelineContentView(QWidget* parent) : QWidget(parent), background(54, 54, 54) {
    setObjectName("scrollContentView");
    setFixedHeight(kHeight);
}

void TimelineContentView::setBackgroundColor(const QColor& colour) {
    background = colour;
    update();
}

void TimelineContentView::setContentWidth(int width) {
    setFixedSize(std::max(width, 1), kHeight);
    update();
}

QRectF TimelineContentView::toWidget(const QRectF& r) {
    return QRectF(r.x(), kHeight - r.y() - r.height(), r.width(), r.height());
}

void TimelineContentView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
}
