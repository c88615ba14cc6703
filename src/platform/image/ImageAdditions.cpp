#include "platform/image/ImageAdditions.h"

#include "platform/foundation/FileUtils.h"

#include <QBuffer>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

bool saveEncoded(const QImage& image, const QString& path, const char* format, int quality) {
    if (image.isNull())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        return false;
    return platform::writeFileAtomically(path, bytes);
}

} // namespace

bool saveToJpegFile(const QImage& image, const QString& path) {
    return saveEncoded(image, path, "JPEG", 100);
}

bool saveToJpegFile(const QImage& image, const QString& path, int quality) {
    return saveEncoded(image, path, "JPEG", quality);
}

bool saveToPNGFile(const QImage& image, const QString& path) {
    return saveEncoded(image, path, "PNG", -1);
}

QImage thumbnailImage(const QImage& image, const QSize& size) {
    if (image.isNull() || size.isEmpty())
        return QImage();
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage swatchWithColor(const QColor& colour, const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

FitGeometry fitGeometry(const QSizeF& imageSize, const QRectF& destination, int method) {
    // Single precision throughout, so that the rounding of the crop offsets is the one users know.
    const float sw = float(imageSize.width()), sh = float(imageSize.height());
    const float tw = float(destination.width()), th = float(destination.height());
    if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0)
        return {QRectF(), QRectF()};

    const float rs = sw / sh;
    const float rt = tw / th;
    bool fitWidth = rs <= rt;
    if (method == 3)
        fitWidth = !fitWidth;
    const float scaledW = fitWidth ? tw : std::round(rs * th);
    const float scaledH = fitWidth ? std::round(tw / rs) : th;

    if (method == 3) {
        const float ox = (tw - scaledW) / 2, oy = (th - scaledH) / 2;
        // The offset is symmetric, so it reads the same from the top as from the bottom.
        return {QRectF(0, 0, sw, sh), QRectF(destination.x() + ox, destination.y() + oy, scaledW, scaledH)};
    }

    float dx = std::round((scaledW - tw) / 2), dy = std::round((scaledH - th) / 2);
    if (method == 1) {
        if (fitWidth)
            dy = std::round(scaledH - th);
        else
            dx = 0;
    } else if (method == 2) {
        if (fitWidth)
            dx = dy = 0;
        else
            dx = std::round(scaledW - tw);
    }
    const float f = scaledH / sh;
    // Offsets are measured from the lower left; pictures here have their origin at the top left.
    const float x = dx / f, w = tw / f, h = th / f;
    const float yFromBottom = dy / f;
    QRectF source(x, sh - yFromBottom - h, w, h);
    // The scaled size was rounded, so the rectangle may overhang the picture by a fraction of a pixel.
    source = source.intersected(QRectF(0, 0, sw, sh));
    return {source, destination};
}

void drawInRect(QPainter& painter, const QImage& image, const QRectF& destination,
                QPainter::CompositionMode operation, float fraction, int method) {
    const FitGeometry geometry = fitGeometry(image.size(), destination, method);
    if (geometry.source.isEmpty())
        return;
    painter.save();
    painter.setCompositionMode(operation);
    painter.setOpacity(fraction);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(geometry.destination, image, geometry.source);
    painter.restore();
}

QImage imageToFitSize(const QImage& image, const QSize& size, int method) {
    if (size.isEmpty())
        return QImage();
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    drawInRect(painter, image, QRectF(0, 0, size.width(), size.height()),
               QPainter::CompositionMode_SourceOver, 1.0f, method);
    return result;
}

QSizeF sizeWithAttributes(const QString& text, const QFont& font, double width) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    double widest = 0, bottom = 0;
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, bottom));
        widest = std::max(widest, line.naturalTextWidth());
        bottom = line.y() + line.height();
        ++lines;
    }
    layout.endLayout();
    if (lines == 0 || text.isEmpty())
        return QSizeF(0, 0);
    return QSizeF(std::ceil(widest), std::ceil(bottom));
}

int videoOrientationForTransform(double a, double b) {
    const int degrees = int(std::atan2(b, a) * 180.0 / M_PI);
    switch (degrees) {
    case 90:
        return 0;
    case -90:
        return 1;
    case 180:
    case -180: // atan2 of (-0.0, -1) lands here; a half turn either way
        return 2;
    case 0:
        return 3;
    default:
        return kNoVideoOrientation;
    }
}
