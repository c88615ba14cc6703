#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// Where a call-out window goes: the side of its anchor point it stands on and the arrow that points back.
enum AWAttachedWindowSide : int {
    AWSideLeft = 0,
    AWSideBelow = 1,
    AWSideRight = 2,
    AWSideAbove = 3,
    AWSideLeftUpward = 4,
    AWSideLeftDownward = 5,
    AWSideRightUpward = 6,
    AWSideRightDownward = 7,
    AWSideAboveLeftward = 8,
    AWSideAboveRightward = 9,
    AWSideBelowLeftward = 10,
    AWSideBelowRightward = 11,
    AWSideAutomatic = 12,
};

// The lengths of a call-out window's box and arrow, before the scale factor.
struct AWAppearance {
    float borderWidth = 2.0f;
    float viewMargin = 2.0f;
    float arrowBaseWidth = 20.0f;
    float arrowHeight = 16.0f;
    bool hasArrow = true;
    float cornerRadius = 8.0f;
    bool drawsRoundCornerBesideArrow = true;
};

// The geometry of a call-out window as pure functions. Coordinates have the y axis up, as the screen space
// of the window's owner: screen rectangles and points in screen space, the view frame and the outline in
// the window's own space (origin bottom left).
namespace aw_geometry {

// The distance from the box's end to the arrow's tip on the off-centre sides.
float arrowInset(const AWAppearance& look, float scale);

struct Layout {
    QRectF windowFrame; // in screen space
    QRectF viewFrame;   // in the window
};
// The window's frame and the view's frame for a view of `viewSize` anchored at `point` on `side`. The
// space of the arrow is kept whether or not the arrow is drawn; outside 0 to 11 the window's corner sits
// on the point.
Layout layout(const QSizeF& viewSize, const QPointF& point, int side, float distance,
              const AWAppearance& look, float scale);

// The side that keeps a window of the view's size on the visible screen, refined against the anchor
// window's frame (the screen when there is none).
int bestSide(const QSizeF& viewSize, const QPointF& point, float distance, const AWAppearance& look,
             float scale, const QRectF& screen, const std::optional<QRectF>& anchorFrame);

// The box with its rounded corners and the arrow, clockwise from the top edge's left end.
QPolygonF outline(const QRectF& viewFrame, int side, const AWAppearance& look, float scale);

// The appearance after the setters' rules; `viewFrame` bounds the radius and the arrow's base.
float boundedCornerRadius(float radius, const AWAppearance& look, const QSizeF& viewFrame);
float boundedArrowBaseWidth(float width, const AWAppearance& look, const QSizeF& viewFrame);

} // namespace aw_geometry
