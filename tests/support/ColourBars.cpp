#include "support/ColourBars.h"

#include <QPainter>

QColor ColourBars::barColour(int frameIndex, int bar) {
    static const QColor palette[kBars] = {QColor(235, 235, 235), QColor(235, 235, 16), QColor(16, 235, 235),
                                          QColor(16, 235, 16),   QColor(235, 16, 235), QColor(235, 16, 16),
                                          QColor(16, 16, 235),   QColor(16, 16, 16)};
    return palette[(bar + frameIndex) % kBars];
}

QPoint ColourBars::barCentre(QSize size, int bar) {
    const int width = size.width() / kBars;
    return {bar * width + width / 2, size.height() / 2};
}

QImage ColourBars::frame(QSize size, int frameIndex) {
    QImage image(size, QImage::Format_ARGB32);
    QPainter painter(&image);
    const int width = size.width() / kBars;
    for (int bar = 0; bar < kBars; ++bar) {
        const int right = bar == kBars - 1 ? size.width() : (bar + 1) * width;
        painter.fillRect(QRect(bar * width, 0, right - bar * width, size.height()),
                         barColour(frameIndex, bar));
    }
    return image;
}
