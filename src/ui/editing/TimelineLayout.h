#pragma once

#include "model/SlideItem.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// The timeline strip's arithmetic without widgets, in timeline coordinates (y up, 205 high): what a click
// hits, where a drop goes, how far the strip scrolls during a drag, where the cells stand while a drag opens
// a gap, the layer items' outlines and the texts of the badges. The strip's widgets draw and decide with it.
namespace timeline_layout {

constexpr int kContentHeight = 205;
constexpr int kInsertAfterLast = 50000;
constexpr double kCellShift = 170.0; // how far the cells after the insert point move
constexpr double kInsertProbeY = 80.0;
constexpr double kLayerHeight = 20.0;
constexpr double kTextBandY = 175.0;
constexpr double kAudioBandY = 45.0;
constexpr int kArrowSize = 8;
// The content view's states while something is dragged over it.
enum ViewState { kStateIdle = 0, kStateInsert = 1, kStateAudioDrag = 2, kStateTextDrag = 3 };

// A rectangle or point of a y-up space `height` high in the y-down space of a widget or picture.
QRectF flipped(const QRectF& rect, double height);
QPointF flipped(const QPointF& point, double height);
// Inside on the left and bottom edges, outside on the right and top ones, so that neighbours never share a
// point.
bool pointInRect(const QPointF& point, const QRectF& rect);

// ---- clicks
enum class ClickTarget { None, Duration, Transition, Cell };
struct ClickHit {
    ClickTarget target = ClickTarget::None;
    int index = -1;
};
// The first slide with a hit, its duration badges first, then its transition icon, then its cell.
ClickHit hitTestClick(const std::vector<SlideItemRef>& slides, const QPointF& point);
// The first item whose timeline rectangle holds the point; -1 for none.
template <typename Items> int itemIndexAt(const Items& items, const QPointF& point) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (pointInRect(point, items[i]->timelineRect()))
            return int(i);
    return -1;
}

// ---- drops and drags
// The slot a dropped slide or file goes to at strip x: 0 left of half a cell, else the slide under
// (x, 80), else kInsertAfterLast.
int insertIndex(const std::vector<SlideItemRef>& slides, double x, int cellWidth);
// One autoscroll tick for the pointer at x in a strip `width` wide: a fifth of the pointer's distance from
// the middle, towards the nearer end; 0 in the middle half.
double autoscrollStep(double x, double width);
// Where a dropped layer item starts: its left edge read on the strip's time axis (the cells' in style 0, a
// scale of `pixelsPerSecond` otherwise), never before the show's start.
float layerStartTime(const std::vector<SlideItemRef>& slides, int timelineStyle, int pixelsPerSecond,
                     float dragPosition, float grabOffset);
// The dashed frame that stands for a dragged layer item in its band.
QRectF dropCursorRect(float dragPosition, float grabOffset, double itemWidth, bool textLayer);
// A drag picture's size: the item's rectangle truncated, `extraHeight` taller (a layer item's arrow).
QSize dragImageSize(const QRectF& itemRect, int extraHeight);

// ---- the cells
struct CellPlacement {
    QRectF rect;
    bool afterInsert = false;
};
struct StripPlacement {
    std::vector<CellPlacement> cells;
    std::optional<QRectF> marker; // the insert marker, in state 1
};
// Where each slide is drawn: in its own rectangle, or in state 1 the slides from the insert index on one
// cell further right, with the marker in the gap.
StripPlacement placeCells(const std::vector<QRectF>& slideRects, int viewState, quint64 insertPosition);
// The parts of a cell drawn in rectangle r: the photo body (100 wide), the thumbnail inside it, the
// transition icon's backing and the icon inside that.
struct CellParts {
    QRectF body, thumbnail, iconBacking, icon;
};
CellParts cellParts(const QRectF& r);
// The thumbnail tiles of a ruler cell drawn in rectangle r.
std::vector<QRectF> rulerTiles(const QRectF& r);

// ---- layer items
// A text item: a box with an arrow hanging below its left part, towards the slides.
std::vector<QPointF> textLayerOutline(const QRectF& r, int arrow);
// An audio item: a box with an arrow on top of its left part, towards the slides.
std::vector<QPointF> audioLayerOutline(const QRectF& r, int arrow);

// ---- texts
// "4.0s" under a minute, "1m15.5s" from one on.
QString photoDurationText(float seconds);
QString transitionDurationText(float seconds);
// The duration buttons of a cell: "75.5s", never with minutes.
QString cellDurationTitle(float seconds);

} // namespace timeline_layout
