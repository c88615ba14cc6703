#include "ui/controls/AWAttachedWindowGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace aw_geometry {

namespace {

bool arrowOnTop(int side) {
    return side == AWSideBelow || side == AWSideBelowLeftward || side == AWSideBelowRightward;
}
bool arrowOnRight(int side) {
    return side == AWSideLeft || side == AWSideLeftUpward || side == AWSideLeftDownward;
}
bool arrowOnBottom(int side) {
    return side == AWSideAbove || side == AWSideAboveLeftward || side == AWSideAboveRightward;
}
bool arrowOnLeft(int side) {
    return side == AWSideRight || side == AWSideRightUpward || side == AWSideRightDownward;
}

// Appends the arrow from the last point, as a sliver that leaves the edge and comes back to it.
void appendArrow(QPolygonF& points, int side, double a, double base) {
    const QPointF p = points.back();
    if (arrowOnRight(side))
        points << QPointF(p.x() + a, p.y() - base / 2) << QPointF(p.x(), p.y() - base);
    else if (arrowOnTop(side))
        points << QPointF(p.x() + base / 2, p.y() + a) << QPointF(p.x() + base, p.y());
    else if (arrowOnLeft(side))
        points << QPointF(p.x() - a, p.y() + base / 2) << QPointF(p.x(), p.y() + base);
    else if (arrowOnBottom(side))
        points << QPointF(p.x() - base / 2, p.y() - a) << QPointF(p.x() - base, p.y());
}

// A quarter of a circle, clockwise (falling angle) from `from` to `to` degrees.
void appendCorner(QPolygonF& points, const QPointF& centre, double radius, double from, double to) {
    constexpr int kSteps = 8;
    for (int i = 0; i <= kSteps; ++i) {
        const double angle = (from + (to - from) * i / kSteps) * std::numbers::pi / 180.0;
        points << QPointF(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
    }
}

} // namespace

float arrowInset(const AWAppearance& look, float scale) {
    return scale *
           (look.arrowBaseWidth * 0.5f + (look.drawsRoundCornerBesideArrow ? look.cornerRadius : 0.0f));
}

Layout layout(const QSizeF& viewSize, const QPointF& p, int side, float distance, const AWAppearance& look,
              float scale) {
    const double m = look.viewMargin * scale, a = look.arrowHeight * scale;
    QRectF view(m, m, viewSize.width(), viewSize.height());
    QSizeF window(viewSize.width() + 2 * m, viewSize.height() + 2 * m);
    if (arrowOnRight(side)) {
        window.rwidth() += a;
    } else if (arrowOnTop(side)) {
        window.rheight() += a;
    } else if (arrowOnLeft(side)) {
        window.rwidth() += a;
        view.translate(a, 0);
    } else if (arrowOnBottom(side)) {
        window.rheight() += a;
        view.translate(0, a);
    }
    const double W = window.width(), H = window.height(), d = distance, i = arrowInset(look, scale);
    QPointF origin = p;
    switch (side) {
    case AWSideLeft:
        origin = {p.x() - W - d, p.y() - H / 2};
        break;
    case AWSideBelow:
        origin = {p.x() - W / 2, p.y() - H - d};
        break;
    case AWSideRight:
        origin = {p.x() + d, p.y() - H / 2};
        break;
    case AWSideAbove:
        origin = {p.x() - W / 2, p.y() + d};
        break;
    case AWSideLeftUpward:
        origin = {p.x() - W - d, p.y() - i};
        break;
    case AWSideLeftDownward:
        origin = {p.x() - W - d, p.y() - (H - i)};
        break;
    case AWSideRightUpward:
        origin = {p.x() + d, p.y() - i};
        break;
    case AWSideRightDownward:
        origin = {p.x() + d, p.y() - (H - i)};
        break;
    case AWSideAboveLeftward:
        origin = {p.x() - (W - i), p.y() + d};
        break;
    case AWSideAboveRightward:
        origin = {p.x() - i, p.y() + d};
        break;
    case AWSideBelowLeftward:
        origin = {p.x() - (W - i), p.y() - H - d};
        break;
    case AWSideBelowRightward:
        origin = {p.x() - i, p.y() - H - d};
        break;
    default:
        break;
    }
    return {QRectF(origin, window), view};
}

int bestSide(const QSizeF& viewSize, const QPointF& p, float distance, const AWAppearance& look, float scale,
             const QRectF& S, const std::optional<QRectF>& anchorFrame) {
    const double m = look.viewMargin * scale;
    const double Wb = viewSize.width() + 2 * m, Hb = viewSize.height() + 2 * m;
    const double g = distance + look.arrowHeight * scale, i = arrowInset(look, scale);
    // y up: a rectangle's "bottom" is its lowest y, its "top" its highest.
    const double sBottom = S.top(), sTop = S.bottom(), sLeft = S.left(), sRight = S.right();
    int side = AWSideBelow;
    if (p.y() - Hb - g >= sBottom)
        side = AWSideBelow;
    else if (p.x() + Wb + g < sRight)
        side = AWSideRight;
    else if (p.x() - Wb - g >= sLeft)
        side = AWSideLeft;
    else if (p.y() + Hb + g < sTop)
        side = AWSideAbove;

    const QRectF F = anchorFrame.value_or(S);
    const double fBottom = F.top(), fTop = F.bottom(), fLeft = F.left(), fRight = F.right();
    if (side == AWSideLeft || side == AWSideRight) {
        const bool left = side == AWSideLeft;
        if (fBottom <= p.y() - Hb / 2) {
            if (fTop <= p.y() + Hb / 2 && sBottom <= p.y() - Hb + i)
                side = left ? AWSideLeftDownward : AWSideRightDownward;
        } else if (p.y() + Hb - i < sTop) {
            side = left ? AWSideLeftUpward : AWSideRightUpward;
        }
    } else {
        const bool below = side == AWSideBelow;
        if (fLeft <= p.x() - Wb / 2) {
            if (fRight <= p.x() + Wb / 2 && sLeft <= p.x() - Wb + i)
                side = below ? AWSideBelowLeftward : AWSideAboveLeftward;
        } else if (p.x() + Wb - i < sRight) {
            side = below ? AWSideBelowRightward : AWSideAboveRightward;
        }
    }
    return side;
}

QPolygonF outline(const QRectF& viewFrame, int side, const AWAppearance& look, float s) {
    const double m = look.viewMargin * s, r = look.cornerRadius * s, B = look.arrowBaseWidth * s;
    const double a = look.arrowHeight * s;
    const QRectF box = viewFrame.adjusted(-m, -m, m, m);
    const double left = std::ceil(s * box.x() + 0.5), right = std::floor(s * (box.x() + box.width()) - 0.5);
    const double bottom = std::ceil(s * box.y() + 0.5), top = std::floor(s * (box.y() + box.height()) - 0.5);
    const double midX = s * (box.x() + box.width() / 2), midY = s * (box.y() + box.height() / 2);
    const bool square = !look.drawsRoundCornerBesideArrow;
    const double rTL = r > 0 && !(square && (side == 7 || side == 11)) ? r : 0;
    const double rTR = r > 0 && !(square && (side == 5 || side == 10)) ? r : 0;
    const double rBR = r > 0 && !(square && (side == 4 || side == 8)) ? r : 0;
    const double rBL = r > 0 && !(square && (side == 6 || side == 9)) ? r : 0;
    const auto arrow = [&](QPolygonF& points, const QPointF& start) {
        points << start;
        if (look.hasArrow)
            appendArrow(points, side, a, B);
    };

    QPolygonF points;
    points << QPointF(left + rTL, top);
    if (side == AWSideBelow)
        arrow(points, {midX - B / 2, top});
    else if (side == AWSideBelowLeftward)
        arrow(points, {right - rTR - B, top});
    else if (side == AWSideBelowRightward)
        arrow(points, {left + rTL, top});
    points << QPointF(right - rTR, top);
    appendCorner(points, {right - rTR, top - rTR}, rTR, 90, 0);
    if (side == AWSideLeft)
        arrow(points, {right, midY + B / 2});
    else if (side == AWSideLeftUpward)
        arrow(points, {right, bottom + rBR + B});
    else if (side == AWSideLeftDownward)
        arrow(points, {right, top - rTR});
    points << QPointF(right, bottom + rBR);
    appendCorner(points, {right - rBR, bottom + rBR}, rBR, 0, -90);
    if (side == AWSideAbove)
        arrow(points, {midX + B / 2, bottom});
    else if (side == AWSideAboveRightward)
        arrow(points, {left + rBL + B, bottom});
    else if (side == AWSideAboveLeftward)
        arrow(points, {right - rBR, bottom});
    points << QPointF(left + rBL, bottom);
    appendCorner(points, {left + rBL, bottom + rBL}, rBL, -90, -180);
    if (side == AWSideRight)
        arrow(points, {left, midY - B / 2});
    else if (side == AWSideRightDownward)
        arrow(points, {left, top - rTL - B});
    else if (side == AWSideRightUpward)
        arrow(points, {left, bottom + rBL});
    points << QPointF(left, top - rTL);
    appendCorner(points, {left + rTL, top - rTL}, rTL, 180, 90);
    return points;
}

float boundedCornerRadius(float radius, const AWAppearance& look, const QSizeF& view) {
    const float limit =
        (2 * look.viewMargin + float(std::min(view.width(), view.height())) - look.arrowBaseWidth) / 2;
    return std::clamp(radius, 0.0f, std::max(limit, 0.0f));
}

float boundedArrowBaseWidth(float width, const AWAppearance& look, const QSizeF& view) {
    float limit = 2 * look.viewMargin + float(std::min(view.width(), view.height())) - look.cornerRadius;
    if (look.drawsRoundCornerBesideArrow)
        limit -= look.cornerRadius;
    return std::min(width, limit);
}

} // namespace aw_geometry
