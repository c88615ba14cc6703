#pragma once

// The picture filters slides and backdrops use, computed on the CPU so that results are the same on every
// machine and can be tested on known pixels. Each takes any QImage and answers a new ARGB32 picture.

#include <QImage>
#include <QVariantMap>

namespace platform::image {

// Saturation (1 keeps the colours, 0 is grey, luma weights 0.2125/0.7154/0.0721), then brightness (added),
// then contrast (about the middle grey 0.5). The defaults change nothing.
QImage colorControls(const QImage& image, float saturation = 1.0f, float brightness = 0.0f,
                     float contrast = 1.0f);

// Sepia toning; intensity 1 is full sepia, 0 leaves the picture unchanged.
QImage sepiaTone(const QImage& image, float intensity = 1.0f);

// A quarter turn clockwise as the picture is seen (a rotation by -90 degrees with the y axis up).
QImage rotatedQuarterTurnClockwise(const QImage& image);

// Gaussian blur with standard deviation `radius` pixels; edges extend their outermost pixels, the size is
// kept.
QImage gaussianBlur(const QImage& image, float radius);

// A theme's "PhotoFilter": "Grayscale" takes the colour out, "CISepiaTone" tones in sepia; anything else,
// or none, leaves the picture as it is.
QImage applyPhotoFilter(const QImage& image, const QVariantMap& theme);

} // namespace platform::image
