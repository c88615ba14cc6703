#pragma once

#include "ui/controls/waveform/WFSignalView.h"

#include <QGradient>
#include <QImage>

#include <vector>

// A two-dimensional array of intensities (frames across, values per frame from the top down) painted through
// a colour gradient, with values at or below a threshold left transparent over the background. The picture
// is made once per data set and drawn scaled.
class WFWaterfallView : public WFSignalView {
    Q_OBJECT
public:
    explicit WFWaterfallView(QWidget* parent = nullptr);

    // frames x samplesPerFrame floats, frame after frame, copied; data must be given exactly when that count
    // is not 0.
    void setData(const float* data, uint64_t frames, uint64_t samplesPerFrame);
    uint64_t frames() const { return _frames; }
    uint64_t samplesPerFrame() const { return _samplesPerFrame; }

    // Black, blue, red and yellow, evenly spaced, unless set otherwise.
    QGradientStops intensityGradient() const { return _intensityGradient; }
    // Takes effect at the next setData().
    void setIntensityGradient(const QGradientStops& gradient);
    float backgroundThreshold() const { return _backgroundThreshold; }
    // Takes effect at the next setData().
    void setBackgroundThreshold(float threshold);
    // One pixel per value: a column per frame, a row per value of the frame; null without data.
    const QImage& precalculatedImage() const { return _precalculatedImageRep; }

    QTransform sampleTransform() const override;

    // The stops' colour at the location, interpolated linearly in RGB; the end colours beyond the ends.
    static QColor gradientColorAt(const QGradientStops& gradient, double location);

protected:
    void drawSignalInRect(QPainter& painter, const QRectF& rect) override;

private:
    void _precalculateImageRep();

    std::vector<float> _waterfallData;
    uint64_t _frames = 0;
    uint64_t _samplesPerFrame = 0;
    QGradientStops _intensityGradient;
    float _backgroundThreshold = 0.2f;
    QImage _precalculatedImageRep;
};
