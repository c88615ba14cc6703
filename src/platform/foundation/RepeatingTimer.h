#pragma once

#include <functional>
#include <memory>

class QTimer;

namespace platform {

// Calls a function on the main thread every `seconds` until stopped or destroyed.
class RepeatingTimer {
public:
    RepeatingTimer(double seconds, std::function<void()> tick);
    ~RepeatingTimer();
    void stop();
    bool isActive() const;

private:
    std::unique_ptr<QTimer> timer;
};

} // namespace platform
