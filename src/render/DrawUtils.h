#pragma once

// Pictures and pattern brushes by resource name, scaled copies, an alpha probe and a rounded-rectangle
// path. The named caches are shared by every thread (the preloader dresses photos while the main thread
// makes blank slides) and keep what they hold for the whole run.

#include <QBrush>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QMimeData;

// The first picture of the file, without applying its orientation tag; null when it cannot be read.
QImage CreateCGImageAtPath(const QString& path);

// The picture named by a resource name ("wood017.gif"; a name without extension matches a resource of
// any type) or by an absolute path, loaded once and then answered from the cache. A missing or unreadable
// picture is a missing part of the program: std::logic_error with "Couldn't find bundle image resource
// '<name>'" or "Failed to load image from <path>".
QImage GetCGImageNamed(const QString& name);

// A brush that tiles the named picture, its tiles anchored at the painter's origin; cached like the
// picture, with the same errors.
QBrush GetPatternColorNamed(const QString& name);

// A brush that tiles `image` once per cell of its own pixel size, at full opacity. A null picture is a
// caller's error: std::invalid_argument "Invalid parameter not satisfying: image".
QBrush CreatePatternColorFromImage(const QImage& image);

// A picture from a drop or paste: the file when exactly one file is offered, otherwise the first picture
// data offered; null when there is none.
QImage CreateCGImageFromPasteboard(const QMimeData* pasteboard);

// A premultiplied RGBA copy scaled by `scale` with smooth interpolation. A scale of 4 or more is the
// wanted length of the longer side in pixels; 0 or less keeps the size. Sizes round up.
QImage CreateScaledCGImage(const QImage& image, double scale);
// The scaled copy of a named picture, cached by name and scale.
QImage GetScaledCGImageNamed(const QString& name, float scale);

// The alpha (0 to 1) at `point` of the picture drawn stretched to `size`, the point in top-left
// coordinates of that drawing; 0 outside it.
float GetImageAlphaAtPoint(const QImage& image, const QSizeF& size, const QPointF& point);

// Adds a closed rectangle with corners of radius `radius` to `path`. The radius is held to half the
// shorter side, so the corners never overlap.
void AddRoundedRectPath(QPainterPath& path, const QRectF& rect, qreal radius);
