#include "ui/controls/waveform/WFMonoWaveformView.h"

#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

WFMonoWaveformView::WFMonoWaveformView(QWidget* parent)
    : WFSignalView(parent), _lineColor(palette().color(QPalette::Text)), _gridColor(204, 204, 204) {}

void WFMonoWaveformView::setLineColor(const QColor& colour) {
    _lineColor = colour;
    update();
}

void WFMonoWaveformView::setGridColor(const QColor& colour) {
    _gridColor = colour;
    update();
}

void WFMonoWaveformView::setLineWidth(double width) {
    _lineWidth = width;
    update();
}

void WFMonoWaveformView::setVerticalScale(double scale) {
    _verticalScale = scale;
    update();
}

void WFMonoWaveformView::setDisplaysGrid(bool displays) {
    _displaysGrid = displays;
    update();
}

void WFMonoWaveformView::setGridTicks(uint64_t ticks) {
    _gridTicks = ticks;
    update();
}

void WFMonoWaveformView::setWaveform(const float* samples, uint64_t n) {
    if (!samples)
        n = 0;
    _originalSampleDataLength = n;
    emit sampleLengthChanged(n);
    const uint64_t count = std::min(n, kMaximumPoints);
    std::vector<float> coalesced;
    if (count != n) {
        coalesced.assign(count, 0.0f);
        coalesceSamples(samples, n, coalesced.data(), count);
        samples = coalesced.data();
    }
    _sampleData.resize(count);
    for (uint64_t i = 0; i < count; ++i)
        _sampleData[i] = QPointF(static_cast<double>(i), static_cast<double>(samples[i]));
    setSelectedSampleRange(WFSampleRange::notFound());
    update();
}

void WFMonoWaveformView::setSampleDataProvider(std::shared_ptr<WFSampleDataProvider> provider) {
    if (provider == _sampleDataProvider)
        return;
    _sampleDataProvider = std::move(provider);
    if (!_sampleDataProvider)
        return;
    const uint64_t length = _sampleDataProvider->framesLength();
    _sampleDataProvider->yieldSamplesOnChannel(
        0, {0, length}, [this](const float* samples, WFFrameRange frames) {
            setWaveform(samples, frames.isNotFound() ? 0 : frames.length);
        });
}

void WFMonoWaveformView::coalesceSamples(const float* input, uint64_t n, float* output, uint64_t c) {
    if (c < 2)
        return;
    const float ratio = static_cast<float>(n) / (static_cast<float>(c) * 0.5f);
    for (uint64_t pair = 0; pair < c / 2; ++pair) {
        const auto from = static_cast<uint64_t>(std::lround(ratio * static_cast<float>(pair)));
        const auto to = static_cast<uint64_t>(std::lround(ratio * static_cast<float>(pair + 1)));
        float largest = 0.0f, smallest = 0.0f;
        for (uint64_t k = from; k < to && k < n; ++k) {
            largest = std::max(largest, input[k]);
            smallest = std::min(smallest, input[k]);
        }
        output[2 * pair] = largest;
        output[2 * pair + 1] = smallest;
    }
}

QTransform WFMonoWaveformView::transformOver(uint64_t count) const {
    const QRectF frame = signalRect();
    const double xScale = count >= 2 ? frame.width() / static_cast<double>(count - 1) : 0.0;
    return QTransform()
        .translate(0.0, frame.height() / 2.0)
        .scale(xScale, frame.height() * _verticalScale * 0.5);
}

QTransform WFMonoWaveformView::sampleTransform() const {
    return transformOver(_originalSampleDataLength);
}

QTransform WFMonoWaveformView::coalescedSampleTransform() const {
    return transformOver(_sampleData.size());
}

void WFMonoWaveformView::drawSignalInRect(QPainter& painter, const QRectF& rect) {
    if (_displaysGrid)
        drawGridlines(painter);
    drawWaveformInRect(painter, rect);
}

// The lines stand at point indices placed on the scale of all samples, as they always have.
void WFMonoWaveformView::drawGridlines(QPainter& painter) {
    if (_gridTicks == 0)
        return;
    painter.save();
    painter.setPen(QPen(_gridColor, 0.5));
    const double height = signalRect().height();
    for (uint64_t i = 0; i < _sampleData.size(); i += _gridTicks) {
        const double x = std::trunc(sampleToXPoint(i));
        painter.drawLine(QPointF(x, 0.0), QPointF(x, height));
    }
    painter.restore();
}

void WFMonoWaveformView::drawWaveformInRect(QPainter& painter, const QRectF&) {
    if (_sampleData.size() < 2)
        return;
    QPainterPath outline(QPointF(0.0, 0.0));
    for (const QPointF& point : _sampleData)
        outline.lineTo(point);
    outline.lineTo(QPointF(static_cast<double>(_sampleData.size()), 0.0));
    const QPainterPath drawn = coalescedSampleTransform().map(outline);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(drawn, QPen(_lineColor, _lineWidth));
    painter.fillPath(drawn, foregroundColor());
    painter.restore();
}

void WFMonoWaveformView::wheelEvent(QWheelEvent* event) {
    const double delta = event->angleDelta().y() / 120.0 * kWheelDeltaPerNotch;
    setVerticalScale(std::max(_verticalScale + delta / -100.0, 0.0));
    QWidget::wheelEvent(event);
}
