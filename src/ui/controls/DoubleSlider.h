#pragma once

#include <QSlider>

// A horizontal slider over a range of doubles, in a fixed number of steps (QSlider holds integers).
// doubleValueChanged follows valueChanged, so a value set under a QSignalBlocker stays quiet.
class DoubleSlider : public QSlider {
    Q_OBJECT
public:
    explicit DoubleSlider(double minimum = 0.0, double maximum = 1.0, int steps = 1000,
                          QWidget* parent = nullptr);

    void setDoubleRange(double minimum, double maximum);
    double minimumDouble() const { return low; }
    double maximumDouble() const { return high; }
    double doubleValue() const;
    // Clamped to the range, rounded to the nearest step.
    void setDoubleValue(double value);

signals:
    void doubleValueChanged(double value);

private:
    double low, high;
};
