#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>

#include <array>

// The shadow a drawing casts, as a painter with a shadow style draws it: the drawing's own alpha, moved
// by `offset` (x to the right, y downwards as seen), blurred, tinted with `color`, beneath the drawing.
// `blur` follows the usual shadow convention: twice the standard deviation of the Gaussian.
class DropShadow {
public:
    DropShadow(QPoint offset, qreal blur, QColor color = defaultColor());

    // Black at a third of full opacity, the shadow colour painters use when none is given.
    static QColor defaultColor() { return QColor(0, 0, 0, 85); }

    // How far the blur reaches beyond a drawing's edge, in pixels.
    int spread() const { return radii[0] + radii[1] + radii[2]; }

    // The shadow of `layer`, not yet offset: a premultiplied picture `spread()` pixels larger than the
    // layer on every side, so that the blur beyond the layer's edges is kept. Outside the layer is clear.
    QImage castBy(const QImage& layer) const;

    // Draws the shadow of `layer`, then `layer` itself, with the layer's top-left corner at `origin`.
    void drawLayer(QPainter& painter, const QImage& layer, QPoint origin = QPoint()) const;

    QPoint offset() const { return shadowOffset; }

private:
    QPoint shadowOffset;
    QColor color;
    // Three box passes approximate the Gaussian closely at a cost independent of the blur.
    std::array<int, 3> radii{};
};
