// Stage backdrops: the fixed pictures of background IDs 3, 4 and 5 ("bk_cloth", "bk_clouds", "table",
// type "jpg"), the empty stage "black.png" and the blank slide's background "bk_008.jpg".
#include "Resgen.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace resgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
const QSize kBackdropSize(1280, 720);

double vignette(double u, double v, double strength) {
    const double dx = u - 0.5, dy = v - 0.5;
    return 1 - strength * smoothstep(0.2, 0.85, std::sqrt(dx * dx + dy * dy) * 1.25);
}

QRgb scaled(const QColor& color, double light) {
    auto channel = [light](int c) { return std::clamp(int(std::lround(c * light)), 0, 255); };
    return qRgb(channel(color.red()), channel(color.green()), channel(color.blue()));
}

// Draped velvet: a height field of soft diagonal folds, lit from the upper left.
QImage cloth(QSize size) {
    const PeriodicNoise bend(0xc1077, 4);
    const PeriodicNoise nap(0xc1078, 96);
    const ColorStops tones = {
        {0, QColor(0x060b1c)}, {0.45, QColor(0x17315f)}, {0.8, QColor(0x3d6aa8)}, {1, QColor(0x9cc0ea)}};
    const QList<QRgb> table = rampTable(tones);
    const double aspect = double(size.width()) / size.height();
    auto height = [&](double u, double v) {
        const double warp = bend.fbm(u * 2, v * 2, 3) - 0.5;
        const double along = u * aspect * 0.8 + v * 0.6 + 0.5 * warp;
        return 0.6 * std::sin(2 * kPi * 2.2 * along) + 0.3 * std::sin(2 * kPi * 4.1 * (along + 0.3 * warp)) +
               0.25 * std::sin(2 * kPi * (1.3 * u * aspect - 0.9 * v));
    };
    QImage image(size, QImage::Format_RGB32);
    const double step = 1.0 / size.height();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = (x + 0.5) / size.width(), v = (y + 0.5) / size.height();
            const double h = height(u, v);
            const double slopeX = (height(u + step, v) - h) / step, slopeY = (height(u, v + step) - h) / step;
            const double lit = 0.55 - 0.013 * (slopeX * 0.7 + slopeY * 0.7) + 0.12 * h;
            const double fibre = 0.03 * (nap.at(u * 96, v * 96) - 0.5);
            const double value = std::clamp((lit + fibre) * vignette(u, v, 0.35), 0.0, 1.0);
            line[x] = table[int(value * 255)];
        }
    }
    return image;
}

// A summer sky: deep blue above, pale at the horizon, with lit cumulus.
QImage clouds(QSize size) {
    const PeriodicNoise billows(0xc10d5, 8);
    const double aspect = double(size.width()) / size.height();
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = (y + 0.5) / size.height();
        const QColor sky =
            rampColor({{0, QColor(0x1f5aa6)}, {0.6, QColor(0x6aa6dd)}, {1, QColor(0xd4e9f7)}}, v);
        for (int x = 0; x < size.width(); ++x) {
            const double u = (x + 0.5) / size.width();
            const double px = u * aspect * 1.6, py = v * 2.2;
            const double density = billows.fbm(px, py, 6, 0.52) + 0.18 * (v - 0.4);
            const double cover = smoothstep(0.5, 0.68, density);
            // Light comes from above: a cloud is darker where more of it lies above the spot.
            const double above = billows.fbm(px + 0.02, py - 0.05, 4, 0.52) + 0.18 * (v - 0.45);
            const double shade = std::clamp(0.5 + 6 * (density - above), 0.0, 1.0);
            const QColor cloud = mix(QColor(0xfdfdff), QColor(0x9fb1c8), shade * 0.8);
            line[x] = mix(sky, cloud, cover).rgb();
        }
    }
    return image;
}

// A warm wooden table top seen from above: planks with their own grain, dark joints, a pool of light.
QImage table(QSize size) {
    constexpr int kPlanks = 5;
    const QList<QRgb> tones = rampTable(
        {{0, QColor(0x4a2810)}, {0.35, QColor(0x7a4622)}, {0.7, QColor(0xa96d3b)}, {1, QColor(0xd29a5f)}});
    QImage image(size, QImage::Format_RGB32);
    const int plankHeight = (size.height() + kPlanks - 1) / kPlanks;
    for (int plank = 0; plank < kPlanks; ++plank) {
        const std::vector<double> grain =
            woodGrain(size.width(), plankHeight, 0x7ab1e + std::uint64_t(plank), 3);
        for (int row = 0; row < plankHeight; ++row) {
            const int y = plank * plankHeight + row;
            if (y >= size.height())
                break;
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const double v = (y + 0.5) / size.height();
            // Rounded plank edges: darker towards each joint, a thin dark gap at it.
            const double edge = std::min(row + 0.5, plankHeight - row - 0.5) * 144.0 / plankHeight;
            const double bevel = edge < 2 ? 0.25 : 0.8 + 0.2 * smoothstep(2, 10, edge);
            for (int x = 0; x < size.width(); ++x) {
                const double u = (x + 0.5) / size.width();
                const double light = bevel * (0.75 + 0.35 * vignette(u, v, 0.6));
                line[x] =
                    scaled(QColor(tones[int(
                               grain[std::size_t(row) * std::size_t(size.width()) + std::size_t(x)] * 255)]),
                           light);
            }
        }
    }
    return image;
}

// The blank slide's background: a calm evening gradient with a few soft lights, dark enough for the yellow
// text that blank slides get by default.
QImage blankSlide(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, size.width(), size.height());
    base.setColorAt(0, QColor(0x14233f));
    base.setColorAt(0.55, QColor(0x2c2451));
    base.setColorAt(1, QColor(0x4b2a4f));
    painter.fillRect(image.rect(), base);
    Random random(0xb1a4c);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 28; ++i) {
        const QPointF centre(random.range(0, size.width()), random.range(0, size.height()));
        const double radius = random.range(0.03, 0.12) * size.height();
        QRadialGradient glow(centre, radius);
        const QColor tint = mix(QColor(0xffd9a0), QColor(0xb9c8ff), random.uniform());
        glow.setColorAt(0, QColor(tint.red(), tint.green(), tint.blue(), int(random.range(18, 46))));
        glow.setColorAt(0.85, QColor(tint.red(), tint.green(), tint.blue(), 12));
        glow.setColorAt(1, QColor(tint.red(), tint.green(), tint.blue(), 0));
        painter.setBrush(glow);
        painter.drawEllipse(centre, radius, radius);
    }
    return image;
}

} // namespace

QImage backdropPicture(Backdrop which, QSize size) {
    switch (which) {
    case Backdrop::Cloth:
        return cloth(size);
    case Backdrop::Clouds:
        return clouds(size);
    case Backdrop::Table:
        return table(size);
    case Backdrop::BlankSlide:
        return blankSlide(size);
    }
    return {};
}

bool makeBackdrops(const QDir& out) {
    const std::vector<std::pair<Backdrop, const char*>> pictures = {{Backdrop::Cloth, "bk_cloth.jpg"},
                                                                    {Backdrop::Clouds, "bk_clouds.jpg"},
                                                                    {Backdrop::Table, "table.jpg"},
                                                                    {Backdrop::BlankSlide, "bk_008.jpg"}};
    const bool drawn = parallelFor(int(pictures.size()), [&](int i) {
        const auto& [which, name] = pictures[std::size_t(i)];
        return saveJpeg(backdropPicture(which, kBackdropSize), out, QString::fromLatin1(name), 90);
    });
    QImage black(64, 64, QImage::Format_RGB32);
    black.fill(Qt::black);
    return drawn && savePng(black, out, QStringLiteral("black.png"));
}

} // namespace resgen
