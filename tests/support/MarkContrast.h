#pragma once

// How strongly what a control draws (text, ticks, fills) stands out from its background, as a person judges
// a control enabled or disabled at a glance.

#include <QImage>

#include <cmath>
#include <map>

namespace test_support {

inline double luma(QRgb pixel) {
    return 0.2126 * qRed(pixel) + 0.7152 * qGreen(pixel) + 0.0722 * qBlue(pixel);
}

// The mean difference in brightness from `background` of the pixels that differ from it visibly.
inline double markContrast(const QImage& drawn, QRgb background) {
    const QImage picture = drawn.convertToFormat(QImage::Format_RGB32);
    double sum = 0.0;
    int marks = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (const double difference = std::abs(luma(picture.pixel(x, y)) - luma(background));
                difference > 6.0) {
                sum += difference;
                ++marks;
            }
    return marks ? sum / marks : 0.0;
}

// The same from the picture's background: its most frequent colour.
inline double markContrast(const QImage& drawn) {
    const QImage picture = drawn.convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ++counts[picture.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (const auto& [colour, count] : counts)
        if (count > most) {
            background = colour;
            most = count;
        }
    return markContrast(picture, background);
}

} // namespace test_support
