#pragma once

#include "ui/controls/waveform/WFSampleDataProvider.h"
#include "ui/controls/waveform/WFSignalView.h"

#include <QPointF>

#include <memory>
#include <vector>

// One channel drawn as a filled waveform of at most 2,000 points (longer signals become the largest and
// smallest value of each of 1,000 buckets), over optional grid lines, with a vertical zoom on the wheel.
class WFMonoWaveformView : public WFSignalView {
    Q_OBJECT
public:
    static constexpr uint64_t kMaximumPoints = 2000;
    // The wheel's 120 units per notch count as this much of the zoom's delta; the zoom changes by a hundredth
    // of the delta, so a notch changes it by 0.1 (upwards shrinks the waveform).
    static constexpr double kWheelDeltaPerNotch = 10.0;

    explicit WFMonoWaveformView(QWidget* parent = nullptr);

    QColor lineColor() const { return _lineColor; }
    void setLineColor(const QColor& colour);
    QColor gridColor() const { return _gridColor; }
    void setGridColor(const QColor& colour);
    double lineWidth() const { return _lineWidth; }
    void setLineWidth(double width);
    double verticalScale() const { return _verticalScale; }
    void setVerticalScale(double scale);
    bool displaysGrid() const { return _displaysGrid; }
    void setDisplaysGrid(bool displays);
    // A grid line every this many points; 0: none.
    uint64_t gridTicks() const { return _gridTicks; }
    void setGridTicks(uint64_t ticks);

    // The number of samples shown, before any reduction.
    uint64_t sampleLength() const { return _originalSampleDataLength; }
    // The drawn points: (index, value).
    const std::vector<QPointF>& sampleData() const { return _sampleData; }
    // Replaces the signal (n floats, copied; null or 0: none) and clears the selection.
    void setWaveform(const float* samples, uint64_t n);
    // Shows channel 0 of the provider, read at once.
    void setSampleDataProvider(std::shared_ptr<WFSampleDataProvider> provider);
    std::shared_ptr<WFSampleDataProvider> sampleDataProvider() const { return _sampleDataProvider; }

    QTransform sampleTransform() const override;
    // As sampleTransform(), over the drawn points instead of the samples.
    QTransform coalescedSampleTransform() const;

    // Pairs of each bucket's largest (at least 0) and smallest (at most 0) value: c / 2 buckets of n inputs.
    static void coalesceSamples(const float* input, uint64_t n, float* output, uint64_t c);

signals:
    void sampleLengthChanged(quint64 length);

protected:
    void drawSignalInRect(QPainter& painter, const QRectF& rect) override;
    void drawGridlines(QPainter& painter);
    void drawWaveformInRect(QPainter& painter, const QRectF& rect);
    void wheelEvent(QWheelEvent* event) override;

private:
    QTransform transformOver(uint64_t count) const;

    QColor _lineColor;
    QColor _gridColor;
    double _lineWidth = 1.0;
    double _verticalScale = 1.0;
    bool _displaysGrid = true;
    uint64_t _gridTicks = 0;
    std::vector<QPointF> _sampleData;
    std::shared_ptr<WFSampleDataProvider> _sampleDataProvider;
};
