#include "ui/main/TimelineGeometry.h"

#include <algorithm>
#include <cmath>

namespace timeline_geometry {

int contentWidth(int style, std::size_t slideCount, int cellWidth, float musicEndX, quint64 totalFrames,
                 unsigned long frameRate, int pixelsPerSecond) {
    if (style != 0) {
        const float seconds = frameRate ? float(totalFrames) / float(frameRate) : 0.0f;
        return int(seconds * float(pixelsPerSecond));
    }
    const float cells = float(slideCount + 1) * float(cellWidth);
    return int(std::max(cells, musicEndX));
}

std::optional<float> playHeadX(const SlideFramePosition& p) {
    if (p.photoFrames == 0 && p.transitionFrames == 0)
        return std::nullopt;
    const float cell = float(p.slideIndex) * float(kCellWidth);
    if (p.inPhoto)
        return cell +
               float(kPhotoWidth) * float(p.frameFromPhotoStart) / float(std::max<quint64>(p.photoFrames, 1));
    return cell + float(kPhotoWidth) +
           float(kTransitionWidth) * float(p.frameInTransition) /
               float(std::max<quint64>(p.transitionFrames, 1));
}

float rulerPlayHeadX(quint64 frame, unsigned long frameRate, int pixelsPerSecond) {
    return frameRate ? float(frame) / float(frameRate) * float(pixelsPerSecond) : 0.0f;
}

QRectF playHeadRect(float x) {
    return QRectF(x, 10, 8, 205);
}

QString timelineTimeText(quint64 frame, unsigned long frameRate) {
    const quint64 seconds = frameRate ? frame / frameRate : 0;
    const int minuteDigits = seconds < 6060 ? 2 : 3;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, minuteDigits, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString elapsedTimeText(double seconds) {
    const long whole = long(std::max(seconds, 0.0));
    return QStringLiteral("%1:%2")
        .arg(whole / 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace timeline_geometry
