#pragma once

#include <QImage>

#include <random>

namespace bench {

// A 4000 x 3000 photo-like picture: smooth gradients with fine noise, so that it compresses like a photo.
inline QImage largePhoto(int index) {
    QImage image(4000, 3000, QImage::Format_RGB32);
    std::mt19937 noise(unsigned(index) * 7919u);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(noise() % 24);
            line[x] = qRgb((x / 16 + index * 40 + grain) & 255, (y / 12 + grain) & 255,
                           ((x + y) / 28 + grain) & 255);
        }
    }
    return image;
}

} // namespace bench
