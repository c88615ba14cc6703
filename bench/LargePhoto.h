#pragma once

#include <QImage>

#include <algorithm>
#include <random>

namespace bench {

// A photo-like picture of `size`: smooth gradients with fine noise, so that it compresses like a photo.
inline QImage photoLike(QSize size, int index) {
    QImage image(size, QImage::Format_RGB32);
    const int across = std::max(1, size.width() / 250), down = std::max(1, size.height() / 250),
              diagonal = std::max(1, (size.width() + size.height()) / 250);
    std::mt19937 noise(unsigned(index) * 7919u);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(noise() % 24);
            line[x] = qRgb((x / across + index * 40 + grain) & 255, (y / down + grain) & 255,
                           ((x + y) / diagonal + grain) & 255);
        }
    }
    return image;
}

// A 4000 x 3000 one.
inline QImage largePhoto(int index) {
    return photoLike(QSize(4000, 3000), index);
}

} // namespace bench
