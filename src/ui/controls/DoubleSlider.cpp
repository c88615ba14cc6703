#include "ui/controls/DoubleSlider.h"

#include <algorithm>
#include <cmath>

DoubleSlider::DoubleSlider(double minimum, double maximum, int steps, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), low(minimum), high(maximum) {
    setRange(0, std::max(1, steps));
    connect(this, &QSlider::valueChanged, this, [this] { emit doubleValueChanged(doubleValue()); });
}

void DoubleSlider::setDoubleRange(double minimum, double maximum) {
    low = minimum;
    high = maximum;
}

double DoubleSlider::doubleValue() const {
    return low + (high - low) * double(value()) / double(maximum());
}

void DoubleSlider::setDoubleValue(double wanted) {
    const double span = high - low;
    const double fraction = span > 0.0 ? (std::clamp(wanted, low, high) - low) / span : 0.0;
    setValue(int(std::lround(fraction * maximum())));
}
