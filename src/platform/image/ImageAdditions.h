#pragma once

// Small picture operations used across the program: writing pictures, thumbnails, fitting a picture
// into a size by cropping or scaling, colour swatches, text measuring and a movie's orientation.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

// Writes the picture as JPEG at the best quality; the file is replaced whole or not at all.
bool saveToJpegFile(const QImage& image, const QString& path);
// The same at a quality of 0 to 100.
bool saveToJpegFile(const QImage& image, const QString& path, int quality);
// Writes the picture as PNG; the file is replaced whole or not at all.
bool saveToPNGFile(const QImage& image, const QString& path);

// A picture of exactly `size` holding the whole of `image` stretched into it (aspect not kept).
// Null for a null picture or an empty size.
QImage thumbnailImage(const QImage& image, const QSize& size);

// A picture of `size` filled with `colour`.
QImage swatchWithColor(const QColor& colour, const QSize& size);

// How a picture is fitted into a rectangle: methods 0, 1 and 2 crop to fill it (keeping the centre,
// the start or the end of the long side), method 3 scales the whole picture into it.
struct FitGeometry {
    QRectF source;      // in the picture's pixels, top-left origin, clamped to the picture
    QRectF destination; // in the target's coordinates, top-left origin
};
// Any method other than 1, 2 or 3 crops around the centre.
FitGeometry fitGeometry(const QSizeF& imageSize, const QRectF& destination, int method);

// Draws `image` into `destination` fitted by `method`, with the painter's smooth scaling.
void drawInRect(QPainter& painter, const QImage& image, const QRectF& destination,
                QPainter::CompositionMode operation, float fraction, int method);
// A new transparent picture of `size` with `image` drawn into all of it by `method`.
QImage imageToFitSize(const QImage& image, const QSize& size, int method);
inline QImage imageCroppedToFitSize(const QImage& image, const QSize& size) {
    return imageToFitSize(image, size, 0);
}
inline QImage imageScaledToFitSize(const QImage& image, const QSize& size) {
    return imageToFitSize(image, size, 3);
}

// The size the text takes when laid out in `font` within `width`: the widest line, and the height from the
// top of the first line to the bottom of the last, both rounded up to whole units. Empty text measures 0 x 0.
QSizeF sizeWithAttributes(const QString& text, const QFont& font, double width);

// A movie's orientation from the first row (a, b) of its video track's transform:
// 0 for a quarter turn (90 degrees), 1 for -90, 2 for a half turn, 3 for none, 99 for anything else.
int videoOrientationForTransform(double a, double b);
// 99 when there is no video track.
constexpr int kNoVideoOrientation = 99;
