#pragma once

#include "platform/foundation/Scheduler.h"

#include <QWidget>

#include <memory>

// A round indeterminate progress indicator: twelve spokes, the brightest turning while it animates. It has
// no frame and a clear background. Its steps run on the scheduler given (the main thread's timers unless
// tests give their own).
class SpinningProgressIndicator : public QWidget {
    Q_OBJECT
public:
    enum class ControlSize { Regular, Small };
    static constexpr int kSpokes = 12;
    static constexpr double kStepSeconds = 1.0 / 12.0;

    explicit SpinningProgressIndicator(
        QWidget* parent = nullptr,
        std::shared_ptr<platform::Scheduler> scheduler = platform::Scheduler::mainThreadScheduler());

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return stepping.isActive(); }
    ControlSize controlSize() const { return size; }
    // The small size draws thinner spokes.
    void setControlSize(ControlSize value);
    int step() const { return currentStep; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<platform::Scheduler> clock;
    platform::Scheduler::Handle stepping;
    ControlSize size = ControlSize::Regular;
    int currentStep = 0;
};
