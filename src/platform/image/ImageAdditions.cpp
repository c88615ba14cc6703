#include "platform/image/ImageAdditions.h"

#include "platform/foundation/FileUtils.h"
#include "platform/image/PictureReading.h"

#include <QBuffer>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

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

// Up to `count` bytes of the file from `at`; fewer where it ends.
QByteArray bytesAt(int fd, qint64 at, qint64 count) {
    QByteArray bytes(count, Qt::Uninitialized);
    const ssize_t read = ::pread(fd, bytes.data(), size_t(count), off_t(at));
    bytes.resize(read > 0 ? read : 0);
    return bytes;
}

// An end-of-image marker within the bytes; `carried` is the byte before them.
bool holdsEndMarker(const QByteArray& bytes, char carried) {
    return bytes.contains(QByteArrayView("\xFF\xD9", 2)) || (carried == '\xFF' && bytes.startsWith('\xD9'));
}

// The end of a picture is the end of its file but for what a camera or an editor puts after it, which is
// seldom more than this.
constexpr qint64 kTailBytes = 16 * 1024;
constexpr qint64 kHeadBytes = 16 * 1024;
constexpr qint64 kScanChunk = 1024 * 1024;

} // namespace

bool isCutShortJpeg(const QString& path) {
    const platform::UniqueFd fd = platform::openRegularFile(path);
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0)
        return false;
    const qint64 size = status.st_size;
    // Read at once, the start holds the segments before the first scan but for long ones (a large preview).
    const QByteArray head = bytesAt(fd.get(), 0, kHeadBytes);
    if (!head.startsWith("\xFF\xD8"))
        return false;
    // The segments before the first scan carry their lengths; the scans' coded data holds no FF D9 but the
    // end-of-image marker, as a coded FF is always followed by 00 or a restart number.
    qint64 at = 2;
    while (true) {
        const QByteArray segment = at + 4 <= head.size() ? head.mid(at, 4) : bytesAt(fd.get(), at, 4);
        if (segment.size() < 4)
            return true; // the header itself is cut
        if (uchar(segment[0]) != 0xFF)
            return false;
        const uchar marker = uchar(segment[1]);
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2; // fill byte, or a marker without a length
            continue;
        }
        if (marker == 0xD9)
            return false;
        at += 2 + ((qint64(uchar(segment[2])) << 8) | uchar(segment[3]));
        if (marker == 0xDA)
            break;
    }
    if (at > size)
        return true;
    // The tail is read from one byte before it, so that a marker split across its start is seen whole.
    const qint64 tail = std::max(at, size - kTailBytes);
    const qint64 tailFrom = std::max(at, tail - 1);
    if (holdsEndMarker(bytesAt(fd.get(), tailFrom, size - tailFrom), 0))
        return false;
    // Something long follows the picture: the whole of the scans is looked through.
    char carried = 0;
    for (qint64 from = at; from < tail; from += kScanChunk) {
        const QByteArray chunk = bytesAt(fd.get(), from, std::min(kScanChunk, tail - from));
        if (chunk.isEmpty())
            break;
        if (holdsEndMarker(chunk, carried))
            return false;
        carried = chunk.back();
    }
    return !platform::image::pictureDecodes(path);
}

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
