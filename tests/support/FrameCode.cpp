#include "support/FrameCode.h"

#include <QColor>
#include <QPainter>

namespace {

bool isLit(int stripe, int frameIndex) {
    return stripe == FrameCode::kBits || (frameIndex >> (FrameCode::kBits - 1 - stripe) & 1);
}

} // namespace

QImage FrameCode::frame(QSize size, int frameIndex) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int stripe = 0; stripe < kStripes; ++stripe) {
        if (!isLit(stripe, frameIndex))
            continue;
        const int left = stripe * size.width() / kStripes;
        const int right = (stripe + 1) * size.width() / kStripes;
        painter.fillRect(QRect(left, 0, right - left, size.height()), QColor(235, 235, 235));
    }
    return image;
}

int FrameCode::read(const QImage& image) {
    return read(image, image.rect());
}

int FrameCode::read(const QImage& image, const QRect& area) {
    if (image.isNull() || area.isEmpty())
        return -1;
    int value = 0;
    for (int stripe = 0; stripe < kStripes; ++stripe) {
        const int x = area.left() + (2 * stripe + 1) * area.width() / (2 * kStripes);
        const int y = area.top() + area.height() / 2;
        const int level = qGray(image.pixel(x, y));
        if (level >= 96 && level <= 160)
            return -1;
        const bool lit = level > 160;
        if (stripe == kBits)
            return lit ? value : -1;
        if (lit)
            value |= 1 << (kBits - 1 - stripe);
    }
    return value;
}

QImage FrameCode::redOverBlueFrame(QSize size, int frameIndex) {
    QImage image = frame(size, frameIndex);
    QPainter painter(&image);
    const int band = size.height() / 4;
    painter.fillRect(QRect(0, 0, size.width(), band), QColor(253, 0, 0));
    painter.fillRect(QRect(0, size.height() - band, size.width(), band), QColor(0, 0, 253));
    return image;
}

bool FrameCode::showsRedOverBlue(const QImage& image, QString* seen) {
    const int x = image.width() / 2;
    const QColor top = image.pixelColor(x, image.height() / 8);
    const QColor bottom = image.pixelColor(x, image.height() * 7 / 8);
    if (seen)
        *seen = QStringLiteral("%1 over %2").arg(top.name(), bottom.name());
    constexpr int kClear = 120;
    return top.red() - top.blue() > kClear && bottom.blue() - bottom.red() > kClear;
}
