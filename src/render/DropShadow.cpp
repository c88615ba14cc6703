#include "render/DropShadow.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Widths of three box filters whose succession has the variance of a Gaussian of `sigma`.
std::array<int, 3> boxRadiiFor(double sigma) {
    std::array<int, 3> radii{};
    if (sigma < 0.5)
        return radii;
    constexpr int passes = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / passes + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const double lowerCount =
        (12 * sigma * sigma - passes * lower * lower - 4 * passes * lower - 3 * passes) / (-4.0 * lower - 4);
    const int m = int(std::lround(lowerCount));
    for (int i = 0; i < passes; ++i)
        radii[i] = ((i < m ? lower : lower + 2) - 1) / 2;
    return radii;
}

// A running-sum box filter over `count` samples `stride` apart; beyond both ends counts as zero.
void boxPass(const float* in, float* out, int count, int stride, int radius) {
    const float scale = 1.0f / float(2 * radius + 1);
    double sum = 0;
    for (int k = 0; k <= radius && k < count; ++k)
        sum += in[k * stride];
    for (int i = 0; i < count; ++i) {
        out[i * stride] = float(sum) * scale;
        if (i + radius + 1 < count)
            sum += in[(i + radius + 1) * stride];
        if (i - radius >= 0)
            sum -= in[(i - radius) * stride];
    }
}

// Blurs `count` contiguous samples in place with each radius in turn.
void blurLine(float* line, std::vector<float>& scratch, int count, const std::array<int, 3>& radii) {
    scratch.resize(count);
    for (int radius : radii) {
        if (radius == 0)
            continue;
        boxPass(line, scratch.data(), count, 1, radius);
        std::copy_n(scratch.data(), count, line);
    }
}

void blurPlane(std::vector<float>& plane, int width, int height, const std::array<int, 3>& radii) {
    std::vector<float> scratch;
    for (int y = 0; y < height; ++y)
        blurLine(plane.data() + size_t(y) * width, scratch, width, radii);
    std::vector<float> column(height);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y)
            column[y] = plane[size_t(y) * width + x];
        blurLine(column.data(), scratch, height, radii);
        for (int y = 0; y < height; ++y)
            plane[size_t(y) * width + x] = column[y];
    }
}

} // namespace

DropShadow::DropShadow(QPoint offset, qreal blur, QColor color)
    : shadowOffset(offset), color(color), radii(boxRadiiFor(std::max<qreal>(blur, 0) / 2)) {}

QImage DropShadow::castBy(const QImage& layer) const {
    if (layer.isNull())
        return QImage();
    const int margin = spread();
    const int width = layer.width() + 2 * margin, height = layer.height() + 2 * margin;
    const QImage source = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<float> alpha(size_t(width) * height, 0.0f);
    for (int y = 0; y < source.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        float* out = alpha.data() + size_t(y + margin) * width + margin;
        for (int x = 0; x < source.width(); ++x)
            out[x] = qAlpha(row[x]) / 255.0f;
    }
    blurPlane(alpha, width, height, radii);

    QImage shadow(width, height, QImage::Format_ARGB32_Premultiplied);
    if (shadow.isNull())
        return QImage();
    const float tint = float(color.alphaF());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float a = std::clamp(alpha[size_t(y) * width + x], 0.0f, 1.0f) * tint;
            row[x] = qRgba(int(std::lround(color.red() * a)), int(std::lround(color.green() * a)),
                           int(std::lround(color.blue() * a)), int(std::lround(255 * a)));
        }
    }
    return shadow;
}

void DropShadow::drawLayer(QPainter& painter, const QImage& layer, QPoint origin) const {
    const int margin = spread();
    painter.drawImage(origin + shadowOffset - QPoint(margin, margin), castBy(layer));
    painter.drawImage(origin, layer);
}
