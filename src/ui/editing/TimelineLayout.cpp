#include "ui/editing/TimelineLayout.h"

#include "model/TimelineAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace timeline_layout {

QRectF flipped(const QRectF& rect, double height) {
    return QRectF(rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height());
}

QPointF flipped(const QPointF& point, double height) {
    return QPointF(point.x(), height - point.y());
}

bool pointInRect(const QPointF& point, const QRectF& rect) {
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

ClickHit hitTestClick(const std::vector<SlideItemRef>& slides, const QPointF& point) {
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const SlideItem& slide = *slides[i];
        const int index = int(i);
        if (pointInRect(point, slide.rect(SlideItem::kRectTransitionDuration)) ||
            pointInRect(point, slide.rect(SlideItem::kRectPhotoDuration)))
            return {ClickTarget::Duration, index};
        if (pointInRect(point, slide.rect(SlideItem::kRectTransitionIcon)))
            return {ClickTarget::Transition, index};
        if (pointInRect(point, slide.timelineRect()))
            return {ClickTarget::Cell, index};
    }
    return {};
}

int insertIndex(const std::vector<SlideItemRef>& slides, double x, int cellWidth) {
    if (double(cellWidth / 2) > x)
        return 0;
    const int under = itemIndexAt(slides, QPointF(x, kInsertProbeY));
    return under >= 0 ? under : kInsertAfterLast;
}

double autoscrollStep(double x, double width) {
    if (!(x < width / 4 || x > 3 * width / 4))
        return 0.0;
    const long step = std::labs(long(std::trunc(width / 2 - x))) / 5;
    return x > width / 2 ? double(step) : -double(step);
}

float layerStartTime(const std::vector<SlideItemRef>& slides, int timelineStyle, int pixelsPerSecond,
                     float dragPosition, float grabOffset) {
    if (timelineStyle != 0 && pixelsPerSecond <= 0)
        return 0.0f;
    return float(timeline_axis::secondsForX(slides, timelineStyle, pixelsPerSecond,
                                            double(dragPosition) - double(grabOffset)));
}

QRectF dropCursorRect(float dragPosition, float grabOffset, double itemWidth, bool textLayer) {
    return QRectF(double(dragPosition - grabOffset), textLayer ? kTextBandY : kAudioBandY, itemWidth,
                  kLayerHeight);
}

QSize dragImageSize(const QRectF& itemRect, int extraHeight) {
    return QSize(int(itemRect.width()), int(double(extraHeight) + itemRect.height()));
}

StripPlacement placeCells(const std::vector<QRectF>& slideRects, int viewState, quint64 insertPosition) {
    StripPlacement placement;
    double markerX = 0.0;
    for (std::size_t i = 0; i < slideRects.size(); ++i) {
        const QRectF& rect = slideRects[i];
        if (viewState != kStateInsert || i < insertPosition) {
            placement.cells.push_back({rect, false});
            if (viewState == kStateInsert)
                markerX += rect.width();
        } else {
            placement.cells.push_back({rect.translated(kCellShift, 0), true});
        }
    }
    if (viewState == kStateInsert)
        placement.marker = QRectF(markerX, 70, 100, 100);
    return placement;
}

CellParts cellParts(const QRectF& r) {
    CellParts parts;
    parts.body = QRectF(r.x(), r.y(), 100, r.height());
    parts.thumbnail = parts.body.adjusted(20, 20, -20, -20);
    parts.iconBacking = QRectF(r.x() + 104, r.y() + 20, 60, 60);
    parts.icon = parts.iconBacking.adjusted(10, 10, -10, -10);
    return parts;
}

std::vector<QRectF> rulerTiles(const QRectF& r) {
    const QRectF inset = r.adjusted(3, 3, -3, -3);
    QRectF tile = inset.width() > 80.0
                      ? QRectF(inset.x() + 20, inset.y() + 20, 60, inset.height() - 40)
                      : QRectF(inset.x() + 4, inset.y() + 20, inset.width() - 8, inset.height() - 40);
    std::vector<QRectF> tiles{tile};
    // The end is the inset's start plus the whole cell's width, as the strip has always drawn it.
    while (tile.width() > 0) {
        tile.translate(tile.width(), 0);
        if (tile.x() + tile.width() + 20 > inset.x() + r.width())
            break;
        tiles.push_back(tile);
    }
    return tiles;
}

std::vector<QPointF> textLayerOutline(const QRectF& r, int arrow) {
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height(), a = arrow;
    return {{x, y}, {x, y + h}, {x + w, y + h}, {x + w, y}, {x + 3 * a, y}, {x + 2 * a, y - a}, {x + a, y}};
}

std::vector<QPointF> audioLayerOutline(const QRectF& r, int arrow) {
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height(), a = arrow;
    return {{x, y},         {x, y + h}, {x + a, y + h}, {x + 2 * a, y + h + a}, {x + 3 * a, y + h},
            {x + w, y + h}, {x + w, y}};
}

QString photoDurationText(float seconds) {
    const double d = double(seconds);
    if (d < 60.0)
        return QString::asprintf("%02.1fs", d);
    const unsigned long minutes = static_cast<unsigned long>(d) / 60;
    return QString::asprintf("%lum%02.1fs", minutes, d - 60.0 * double(minutes));
}

QString transitionDurationText(float seconds) {
    return QString::asprintf("%02.1fs", double(seconds));
}

QString cellDurationTitle(float seconds) {
    return QString::asprintf("%0.1fs", double(seconds));
}

} // namespace timeline_layout
