#include "render/DrawUtils.h"

#include "model/ContentsFolder.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/image/PictureReading.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace {

// The caches are reached from the preloader and the main thread at once, hence the lock.
struct NamedCaches {
    std::mutex mutex;
    QHash<QString, QImage> images;
    QHash<QString, QBrush> patterns;
    std::map<std::pair<QString, float>, QImage> scaled;
};

NamedCaches& caches() {
    static NamedCaches shared;
    return shared;
}

// A resource named without its type matches the first file of that base name, as a type-less lookup does.
QString resourcePathOfAnyType(const QString& name) {
    if (name.isEmpty())
        return QString();
    const QString exact = platform::paths::pathForResource(name, QString());
    if (!exact.isEmpty() || name.contains(u'/'))
        return exact;
    const QDir folder(platform::paths::resourceFolder());
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
        if (entry.completeBaseName() == name)
            return entry.absoluteFilePath();
    }
    return QString();
}

[[noreturn]] void raise(const QString& reason) {
    throw std::logic_error(reason.toStdString());
}

// Callers hold the caches' lock.
QImage imageNamedLocked(NamedCaches& cache, const QString& name) {
    const auto cached = cache.images.constFind(name);
    if (cached != cache.images.constEnd())
        return *cached;
    // Names come from project files too (a transition's icon): a full path counts only among our pictures.
    const QString path =
        name.startsWith(u'/') ? ContentsFolder::resourceFile(name) : resourcePathOfAnyType(name);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        raise(QStringLiteral("Couldn't find bundle image resource '%1'").arg(name));
    const QImage image = CreateCGImageAtPath(path);
    if (image.isNull())
        raise(QStringLiteral("Failed to load image from %1").arg(path));
    cache.images.insert(name, image);
    return image;
}

} // namespace

QImage CreateCGImageAtPath(const QString& path) {
    return platform::image::readPicture(path, platform::image::PictureRequest::asStored()).image;
}

QImage GetCGImageNamed(const QString& name) {
    NamedCaches& cache = caches();
    std::lock_guard lock(cache.mutex);
    return imageNamedLocked(cache, name);
}

QBrush GetPatternColorNamed(const QString& name) {
    NamedCaches& cache = caches();
    std::lock_guard lock(cache.mutex);
    const auto cached = cache.patterns.constFind(name);
    if (cached != cache.patterns.constEnd())
        return *cached;
    const QBrush pattern = CreatePatternColorFromImage(imageNamedLocked(cache, name));
    cache.patterns.insert(name, pattern);
    return pattern;
}

QBrush CreatePatternColorFromImage(const QImage& image) {
    if (image.isNull())
        throw std::invalid_argument("Invalid parameter not satisfying: image");
    return QBrush(image);
}

QImage CreateCGImageFromPasteboard(const QMimeData* pasteboard) {
    if (!pasteboard)
        return QImage();
    const QList<QUrl> urls = pasteboard->urls();
    if (urls.size() == 1 && urls.first().isLocalFile())
        return CreateCGImageAtPath(urls.first().toLocalFile());
    if (pasteboard->hasImage()) {
        const QImage image = qvariant_cast<QImage>(pasteboard->imageData());
        if (!image.isNull())
            return image;
    }
    for (const QString& format : pasteboard->formats()) {
        if (format.startsWith(QStringLiteral("image/")))
            return platform::image::readPictureData(pasteboard->data(format),
                                                    platform::image::PictureRequest::asStored())
                .image;
    }
    return QImage();
}

QImage CreateScaledCGImage(const QImage& image, double scale) {
    if (image.isNull())
        return QImage();
    QSize size = image.size();
    if (scale > 0) {
        if (scale >= 4.0)
            scale /= std::max(size.width(), size.height());
        // A hair below the ceiling absorbs products such as 0.1 x 30 that land just above a whole number.
        const auto up = [scale](int length) { return std::max(1, int(std::ceil(length * scale - 1e-9))); };
        size = QSize(up(size.width()), up(size.height()));
    }
    QImage scaled(size, QImage::Format_ARGB32_Premultiplied);
    if (scaled.isNull())
        return QImage();
    scaled.fill(Qt::transparent);
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    return scaled;
}

QImage GetScaledCGImageNamed(const QString& name, float scale) {
    NamedCaches& cache = caches();
    std::lock_guard lock(cache.mutex);
    const auto key = std::make_pair(name, scale);
    const auto cached = cache.scaled.find(key);
    if (cached != cache.scaled.end())
        return cached->second;
    const QImage scaled = CreateScaledCGImage(imageNamedLocked(cache, name), scale);
    cache.scaled.emplace(key, scaled);
    return scaled;
}

float GetImageAlphaAtPoint(const QImage& image, const QSizeF& size, const QPointF& point) {
    if (image.isNull() ||
        !(point.x() >= 0 && point.x() < size.width() && point.y() >= 0 && point.y() < size.height()))
        return 0.0f;
    // One pixel of our own per call: a shared probe would be a race between threads.
    QImage probe(1, 1, QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    QPainter painter(&probe);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(-point.x(), -point.y(), size.width(), size.height()), image);
    painter.end();
    return qAlpha(probe.pixel(0, 0)) / 255.0f;
}

void AddRoundedRectPath(QPainterPath& path, const QRectF& rect, qreal radius) {
    const QRectF box = rect.normalized();
    // Held to the shorter side as well as the width: a larger radius would bend the arcs back on themselves.
    const qreal r = std::clamp(radius, 0.0, std::floor(std::min(box.width(), box.height()) / 2));
    if (r <= 0)
        path.addRect(box);
    else
        path.addRoundedRect(box, r, r);
}
