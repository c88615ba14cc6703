#include "ui/controls/SpinningProgressIndicator.h"

#include <QPainter>

#include <algorithm>

SpinningProgressIndicator::SpinningProgressIndicator(QWidget* parent,
                                                     std::shared_ptr<platform::Scheduler> scheduler)
    : QWidget(parent), clock(std::move(scheduler)) {
    setObjectName("progress");
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SpinningProgressIndicator::startAnimation() {
    if (isAnimating() || !clock)
        return;
    stepping = clock->scheduleRepeating(kStepSeconds, [this] {
        currentStep = (currentStep + 1) % kSpokes;
        update();
    });
}

void SpinningProgressIndicator::stopAnimation() {
    stepping.cancel();
}

void SpinningProgressIndicator::setControlSize(ControlSize value) {
    if (size == value)
        return;
    size = value;
    update();
}

void SpinningProgressIndicator::paintEvent(QPaintEvent*) {
    const double side = std::min(width(), height());
    if (side < 2.0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() * 0.5, height() * 0.5);
    const double outer = side * 0.5;
    const double inner = outer * 0.45;
    QPen pen(QColor(200, 200, 200));
    pen.setWidthF(std::max(1.0, side * (size == ControlSize::Small ? 0.08 : 0.1)));
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke of the current step is the brightest; the ones behind it fade.
        const int age = (currentStep - i + kSpokes) % kSpokes;
        QColor colour = pen.color();
        colour.setAlphaF(1.0 - 0.75 * double(age) / double(kSpokes - 1));
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0.0, -inner), QPointF(0.0, -outer + pen.widthF() * 0.5));
        painter.restore();
    }
}
