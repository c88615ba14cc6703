#include "ui/controls/waveform/WFWaterfallView.h"

#include "ui/controls/waveform/WFRequire.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

WFWaterfallView::WFWaterfallView(QWidget* parent)
    : WFSignalView(parent), _intensityGradient{{0.0, Qt::black},
                                               {1.0 / 3.0, Qt::blue},
                                               {2.0 / 3.0, Qt::red},
                                               {1.0, Qt::yellow}} {
    setBackgroundColor(Qt::black);
}

void WFWaterfallView::setData(const float* data, uint64_t frames, uint64_t samplesPerFrame) {
    const uint64_t count = frames * samplesPerFrame;
    wfRequire((data != nullptr) == (count != 0),
              QStringLiteral("invalid length (%1) for data argument (0x%2)")
                  .arg(count)
                  .arg(reinterpret_cast<quintptr>(data), 0, 16));
    _samplesPerFrame = samplesPerFrame;
    _frames = frames;
    _originalSampleDataLength = frames;
    _waterfallData.assign(data, data + count);
    _precalculateImageRep();
    update();
}

void WFWaterfallView::setIntensityGradient(const QGradientStops& gradient) {
    _intensityGradient = gradient;
    update();
}

void WFWaterfallView::setBackgroundThreshold(float threshold) {
    _backgroundThreshold = threshold;
    update();
}

QColor WFWaterfallView::gradientColorAt(const QGradientStops& gradient, double location) {
    if (gradient.isEmpty())
        return Qt::transparent;
    if (location <= gradient.front().first)
        return gradient.front().second;
    for (qsizetype i = 1; i < gradient.size(); ++i) {
        const auto& [to, high] = gradient[i];
        if (location > to)
            continue;
        const auto& [from, low] = gradient[i - 1];
        const double t = to > from ? (location - from) / (to - from) : 1.0;
        const auto mix = [t](float a, float b) { return static_cast<float>(a + (b - a) * t); };
        return QColor::fromRgbF(mix(low.redF(), high.redF()), mix(low.greenF(), high.greenF()),
                                mix(low.blueF(), high.blueF()), mix(low.alphaF(), high.alphaF()));
    }
    return gradient.back().second;
}

void WFWaterfallView::_precalculateImageRep() {
    _precalculatedImageRep = QImage();
    if (_frames == 0 || _samplesPerFrame == 0)
        return;
    QImage image(static_cast<int>(_frames), static_cast<int>(_samplesPerFrame), QImage::Format_ARGB32);
    for (uint64_t x = 0; x < _frames; ++x) {
        for (uint64_t y = 0; y < _samplesPerFrame; ++y) {
            const float value = _waterfallData[x * _samplesPerFrame + y];
            const QColor colour = value > _backgroundThreshold ? gradientColorAt(_intensityGradient, value)
                                                               : QColor(Qt::transparent);
            image.setPixel(static_cast<int>(x), static_cast<int>(y), colour.rgba());
        }
    }
    _precalculatedImageRep = image;
}

QTransform WFWaterfallView::sampleTransform() const {
    const QRectF frame = signalRect();
    const bool drawable = _frames >= 2 && _samplesPerFrame > 0;
    return QTransform().scale(drawable ? frame.width() / static_cast<double>(_frames - 1) : 0.0,
                              drawable ? frame.height() / static_cast<double>(_samplesPerFrame) : 0.0);
}

void WFWaterfallView::drawSignalInRect(QPainter& painter, const QRectF&) {
    if (_frames < 2 || _precalculatedImageRep.isNull())
        return;
    const QRectF picture = sampleTransform().mapRect(
        QRectF(0.0, 0.0, static_cast<double>(_frames), static_cast<double>(_samplesPerFrame)));
    painter.save();
    // Pictures stand upright: the first value of a frame at the top.
    painter.resetTransform();
    painter.setClipRect(signalToWidget().mapRect(signalRect()));
    painter.drawImage(signalToWidget().mapRect(picture), _precalculatedImageRep);
    painter.restore();
}
