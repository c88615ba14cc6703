// The blank-image dialog's stock backgrounds "vector_001.jpg" ... "vector_028.jpg": seven kinds of calm
// abstract vector art, each in four palettes. A user puts them behind text or makes them a theme
// background, so they stay soft, with no detail that fights with a title.
#include "Resgen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>

namespace resgen {

namespace {

constexpr int kStockCount = 28;
constexpr int kStyles = 7;
const QSize kStockSize(1280, 720);
constexpr double kPi = 3.14159265358979323846;

// Five colours from deep to light.
using Palette = std::array<QColor, 5>;
const std::array<Palette, 4> kPalettes = {{
    {QColor(0x3d2c5e), QColor(0xc0497d), QColor(0xff7b7b), QColor(0xffb38a), QColor(0xfff0d6)}, // sunrise
    {QColor(0x041c4a), QColor(0x1d4e9e), QColor(0x1a8fc4), QColor(0x4fd1e0), QColor(0xe3fbfc)}, // ocean
    {QColor(0x10301f), QColor(0x25694a), QColor(0x4fae7b), QColor(0xa3dbb0), QColor(0xf3f9e8)}, // forest
    {QColor(0x240a33), QColor(0x5e1a6e), QColor(0xa8338a), QColor(0xef6f9e), QColor(0xffdbe6)}, // berry
}};

QColor withAlpha(QColor color, int alpha) {
    color.setAlpha(alpha);
    return color;
}

void fillBase(QPainter& painter, const Palette& p, double angle) {
    const double w = kStockSize.width(), h = kStockSize.height();
    const QPointF c(w / 2, h / 2), d(std::cos(angle) * w / 2, std::sin(angle) * h / 2);
    QLinearGradient base(c - d, c + d);
    base.setColorAt(0, p[0]);
    base.setColorAt(0.6, p[1]);
    base.setColorAt(1, p[2]);
    painter.fillRect(QRectF(0, 0, w, h), base);
}

void bokeh(QPainter& painter, const Palette& p, Random& random) {
    fillBase(painter, p, 0.6);
    const double w = kStockSize.width(), h = kStockSize.height();
    for (int i = 0; i < 46; ++i) {
        const QPointF centre(random.range(-0.05, 1.05) * w, random.range(-0.05, 1.05) * h);
        const double radius = random.range(0.03, 0.16) * h;
        const QColor tint = p[std::size_t(2 + random.below(3))];
        QRadialGradient glow(centre, radius);
        glow.setColorAt(0, withAlpha(tint, int(random.range(30, 80))));
        glow.setColorAt(0.8, withAlpha(tint, int(random.range(20, 45))));
        glow.setColorAt(1, withAlpha(tint, 0));
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
}

void waves(QPainter& painter, const Palette& p, Random& random) {
    const double w = kStockSize.width(), h = kStockSize.height();
    painter.fillRect(QRectF(0, 0, w, h), p[4]);
    constexpr int kLayers = 6;
    for (int layer = 0; layer < kLayers; ++layer) {
        const double base = h * (0.22 + 0.14 * layer);
        const double amplitude = h * random.range(0.03, 0.07), phase = random.range(0, 2 * kPi);
        const double cycles = random.range(0.8, 1.8);
        QPainterPath path(QPointF(0, h));
        for (int i = 0; i <= 64; ++i) {
            const double x = w * i / 64.0;
            path.lineTo(x, base + amplitude * std::sin(phase + 2 * kPi * cycles * i / 64.0));
        }
        path.lineTo(w, h);
        path.closeSubpath();
        const double t = double(layer) / (kLayers - 1);
        QLinearGradient fill(0, base - amplitude, 0, h);
        fill.setColorAt(0, rampColor({{0, p[3]}, {0.5, p[2]}, {1, p[0]}}, t));
        fill.setColorAt(1, rampColor({{0, p[2]}, {0.5, p[1]}, {1, p[0]}}, t));
        painter.setBrush(fill);
        painter.drawPath(path);
    }
}

void lowPoly(QPainter& painter, const Palette& p, Random& random) {
    constexpr int kColumns = 12, kRows = 7;
    const double w = kStockSize.width(), h = kStockSize.height();
    std::vector<QPointF> points;
    for (int row = 0; row <= kRows; ++row)
        for (int column = 0; column <= kColumns; ++column) {
            const bool inner = row > 0 && row < kRows && column > 0 && column < kColumns;
            const double jx = inner ? random.range(-0.35, 0.35) : 0,
                         jy = inner ? random.range(-0.35, 0.35) : 0;
            points.emplace_back((column + jx) * w / kColumns, (row + jy) * h / kRows);
        }
    auto point = [&](int column, int row) { return points[std::size_t(row * (kColumns + 1) + column)]; };
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const QPointF a = point(column, row), b = point(column + 1, row);
            const QPointF c = point(column + 1, row + 1), d = point(column, row + 1);
            for (const QPolygonF& triangle : {QPolygonF({a, b, c}), QPolygonF({a, c, d})}) {
                const QPointF centre = (triangle[0] + triangle[1] + triangle[2]) / 3;
                const double t = 0.65 * centre.x() / w + 0.35 * centre.y() / h;
                const QColor color =
                    rampColor({{0, p[3]}, {0.45, p[2]}, {1, p[0]}}, t + random.range(-0.06, 0.06));
                painter.setBrush(color);
                painter.setPen(QPen(color, 0.8)); // closes the hairline gaps between neighbours
                painter.drawPolygon(triangle);
            }
        }
}

void sunburst(QPainter& painter, const Palette& p, Random& random) {
    const double w = kStockSize.width(), h = kStockSize.height();
    const QPointF centre(w * random.range(0.3, 0.7), h * random.range(0.55, 0.8));
    QRadialGradient base(centre, w);
    base.setColorAt(0, p[3]);
    base.setColorAt(0.5, p[1]);
    base.setColorAt(1, p[0]);
    painter.fillRect(QRectF(0, 0, w, h), base);
    constexpr int kRays = 24;
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(p[4], 26));
    for (int i = 0; i < kRays; i += 2) {
        const double a0 = 2 * kPi * i / kRays, a1 = 2 * kPi * (i + 1) / kRays;
        painter.drawPolygon(QPolygonF({centre, centre + QPointF(std::cos(a0), std::sin(a0)) * 2 * w,
                                       centre + QPointF(std::cos(a1), std::sin(a1)) * 2 * w}));
    }
    for (int ring = 4; ring >= 1; --ring) {
        painter.setBrush(withAlpha(p[4], 40 + 30 * (4 - ring)));
        painter.drawEllipse(centre, h * 0.07 * ring, h * 0.07 * ring);
    }
}

void hills(QPainter& painter, const Palette& p, Random& random) {
    const double w = kStockSize.width(), h = kStockSize.height();
    QLinearGradient sky(0, 0, 0, h * 0.7);
    sky.setColorAt(0, p[2]);
    sky.setColorAt(1, p[4]);
    painter.fillRect(QRectF(0, 0, w, h), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(p[4], 235));
    painter.drawEllipse(QPointF(w * random.range(0.2, 0.8), h * 0.3), h * 0.09, h * 0.09);
    constexpr int kRidges = 5;
    for (int ridge = 0; ridge < kRidges; ++ridge) {
        const double base = h * (0.48 + 0.11 * ridge), phase = random.range(0, 2 * kPi);
        QPainterPath path(QPointF(0, h));
        for (int i = 0; i <= 48; ++i) {
            const double x = w * i / 48.0, s = double(i) / 48;
            path.lineTo(x, base - h * (0.06 * std::sin(phase + 2 * kPi * 1.1 * s) +
                                       0.03 * std::sin(phase * 2 + 2 * kPi * 2.7 * s)));
        }
        path.lineTo(w, h);
        path.closeSubpath();
        // Far ridges take the sky's haze; near ones the deep colour.
        painter.setBrush(
            rampColor({{0, mix(p[3], p[4], 0.3)}, {0.5, p[2]}, {1, p[0]}}, double(ridge) / (kRidges - 1)));
        painter.drawPath(path);
    }
}

void ribbons(QPainter& painter, const Palette& p, Random& random) {
    const double w = kStockSize.width(), h = kStockSize.height();
    fillBase(painter, p, 2.2);
    for (int i = 0; i < 7; ++i) {
        const double y0 = h * random.range(0.1, 0.9), y1 = h * random.range(0.1, 0.9);
        QPainterPath path(QPointF(-40, y0));
        path.cubicTo(QPointF(w * 0.35, y0 + h * random.range(-0.5, 0.5)),
                     QPointF(w * 0.65, y1 + h * random.range(-0.5, 0.5)), QPointF(w + 40, y1));
        QLinearGradient stroke(0, 0, w, 0);
        stroke.setColorAt(0, withAlpha(p[3], 0));
        stroke.setColorAt(0.5, withAlpha(p[std::size_t(2 + i % 3)], 120));
        stroke.setColorAt(1, withAlpha(p[4], 20));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QBrush(stroke), random.range(10, 60), Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(path);
    }
}

void geometry(QPainter& painter, const Palette& p, Random& random) {
    const double w = kStockSize.width(), h = kStockSize.height();
    painter.fillRect(QRectF(0, 0, w, h), mix(p[4], p[3], 0.25));
    constexpr int kColumns = 8, kRows = 4;
    const double cell = w / kColumns;
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < kRows + 1; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const QRectF box(column * cell, row * cell - cell * 0.5, cell, cell);
            const QColor color = p[std::size_t(random.below(4))];
            painter.setBrush(withAlpha(color, 215));
            // Quarter and half discs turned to any side: the grid of Bauhaus posters.
            const int turn = random.below(4), kind = random.below(3);
            QPainterPath shape;
            if (kind == 0) {
                shape.moveTo(box.topLeft());
                shape.arcTo(QRectF(box.left() - cell, box.top() - cell, 2 * cell, 2 * cell), -90, 90);
            } else if (kind == 1) {
                shape.addEllipse(box.adjusted(cell * 0.15, cell * 0.15, -cell * 0.15, -cell * 0.15));
            } else {
                shape.moveTo(box.left(), box.center().y());
                shape.arcTo(QRectF(box.left(), box.top(), cell, cell), 180, -180);
                shape.closeSubpath();
            }
            painter.save();
            painter.translate(box.center());
            painter.rotate(90 * turn);
            painter.translate(-box.center());
            painter.drawPath(shape);
            painter.restore();
        }
}

QImage stockPicture(int number) {
    QImage image(kStockSize, QImage::Format_RGB32);
    // A new QImage holds whatever memory it got; antialiased edges would blend it into the picture.
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    Random random(0x57c0 + std::uint64_t(number) * 7919);
    const int index = number - 1;
    const Palette& palette = kPalettes[std::size_t(index / kStyles)];
    using Style = void (*)(QPainter&, const Palette&, Random&);
    static const Style styles[kStyles] = {bokeh, waves, lowPoly, sunburst, hills, ribbons, geometry};
    styles[index % kStyles](painter, palette, random);
    return image;
}

} // namespace

bool makeStockPictures(const QDir& out) {
    return parallelFor(kStockCount, [&](int index) {
        const int number = index + 1;
        return saveJpeg(stockPicture(number), out,
                        QStringLiteral("vector_%1.jpg").arg(number, 3, 10, QLatin1Char('0')), 88);
    });
}

} // namespace resgen
