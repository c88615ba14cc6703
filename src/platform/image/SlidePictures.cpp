#include "platform/image/SlidePictures.h"

#include "platform/image/ImageAdditions.h"
#include "platform/image/ImageFilters.h"

#include <QPainter>

#include <algorithm>

namespace platform::image::slide_pictures {

namespace {

constexpr int kBackdropSide = 640;
constexpr float kBackdropBlur = 4.0f;
const QSize kThumbnailSize(80, 70);

} // namespace

QImage flattenedOnBlack(const QImage& picture) {
    if (picture.isNull() || !picture.hasAlphaChannel())
        return picture;
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::black);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

QImage reducedTo(const QImage& picture, int side) {
    if (std::max(picture.width(), picture.height()) <= side)
        return picture;
    return picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QImage picture(const QImage& photo, int maxWidth) {
    return reducedTo(photo, maxWidth);
}

QImage backdrop(const QImage& photo) {
    return gaussianBlur(reducedTo(photo, kBackdropSide), kBackdropBlur);
}

QImage thumbnail(const QImage& photo) {
    return imageCroppedToFitSize(reducedTo(photo, kThumbnailReadSide), kThumbnailSize);
}

} // namespace platform::image::slide_pictures
