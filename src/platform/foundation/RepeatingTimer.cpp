#include "platform/foundation/RepeatingTimer.h"

#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

// The QTimer lives, ticks and dies on the main thread; a caller elsewhere waits for each hop, so that
// once stop() or the destructor has returned no further tick begins.
RepeatingTimer::RepeatingTimer(double seconds, std::function<void()> tick) {
    // A zero or negative interval would spin the event loop; a millisecond is the shortest we honour.
    const double milliseconds = std::isfinite(seconds) ? seconds * 1000.0 : 1.0;
    const int interval =
        int(std::clamp(std::round(milliseconds), 1.0, double(std::numeric_limits<int>::max())));
    runOnMainThreadAndWait([this, interval, tick = std::move(tick)] {
        timer = std::make_unique<QTimer>();
        timer->setInterval(interval);
        QObject::connect(timer.get(), &QTimer::timeout, timer.get(), tick);
        timer->start();
    });
}

RepeatingTimer::~RepeatingTimer() {
    runOnMainThreadAndWait([this] {
        // The owner may be destroying us from inside our own tick, while the QTimer is still emitting:
        // silence it now and let the event loop delete it once the emission is over.
        timer->stop();
        timer->disconnect();
        if (QCoreApplication::instance())
            timer.release()->deleteLater();
        else
            timer.reset();
    });
}

void RepeatingTimer::stop() {
    runOnMainThreadAndWait([this] { timer->stop(); });
}

bool RepeatingTimer::isActive() const {
    bool active = false;
    runOnMainThreadAndWait([this, &active] { active = timer->isActive(); });
    return active;
}

} // namespace platform
