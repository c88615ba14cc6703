#include "http/ReqBandwidthThrottle.h"

namespace {

// Everything behind the class's plain (not recursive) lock.
struct ThrottleState {
    std::mutex lock;
    unsigned long maxBandwidthPerSecond = 0;
    unsigned long usedThisSecond = 0;
    std::optional<double> measurementDeadline;
    std::deque<unsigned long> usageHistory;
    unsigned long averageBandwidthUsedPerSecond = 0;
    std::optional<double> throttleWakeTime;
    std::shared_ptr<platform::Clock> clock = platform::Clock::system();
};

ThrottleState& state() {
    static ThrottleState shared;
    return shared;
}

} // namespace

double ReqBandwidthThrottle::now() {
    std::shared_ptr<platform::Clock> clock;
    {
        std::lock_guard guard(state().lock);
        clock = state().clock;
    }
    return clock->secondsSinceStart();
}

bool ReqBandwidthThrottle::isBandwidthThrottled() {
    std::lock_guard guard(state().lock);
    return state().maxBandwidthPerSecond != 0;
}

unsigned long ReqBandwidthThrottle::maxBandwidthPerSecond() {
    std::lock_guard guard(state().lock);
    return state().maxBandwidthPerSecond;
}

void ReqBandwidthThrottle::setMaxBandwidthPerSecond(unsigned long bytes) {
    std::lock_guard guard(state().lock);
    state().maxBandwidthPerSecond = bytes;
}

void ReqBandwidthThrottle::incrementBandwidthUsedInLastSecond(unsigned long bytes) {
    std::lock_guard guard(state().lock);
    state().usedThisSecond += bytes;
}

unsigned long ReqBandwidthThrottle::averageBandwidthUsedPerSecond() {
    std::lock_guard guard(state().lock);
    return state().averageBandwidthUsedPerSecond;
}

void ReqBandwidthThrottle::recordBandwidthUsage() {
    ThrottleState& s = state();
    const double current = s.clock->secondsSinceStart();
    if (s.usedThisSecond == 0) {
        s.usageHistory.clear();
    } else {
        // Idle seconds age out one entry each; at most five stay before the new one joins.
        double t = s.measurementDeadline ? *s.measurementDeadline - current : 0.0;
        while ((t < 0.0 || s.usageHistory.size() >= 6) && !s.usageHistory.empty()) {
            s.usageHistory.pop_front();
            t += 1.0;
        }
    }
    s.usageHistory.push_back(s.usedThisSecond);
    s.measurementDeadline = current + 1.0;
    s.usedThisSecond = 0;
    unsigned long long sum = 0;
    for (unsigned long used : s.usageHistory)
        sum += used;
    s.averageBandwidthUsedPerSecond = static_cast<unsigned long>(sum / s.usageHistory.size());
}

void ReqBandwidthThrottle::measureBandwidthUsage() {
    ThrottleState& s = state();
    std::lock_guard guard(s.lock);
    if (!s.measurementDeadline || *s.measurementDeadline <= s.clock->secondsSinceStart())
        recordBandwidthUsage();
    if (s.maxBandwidthPerSecond == 0)
        return;
    const long long remaining =
        static_cast<long long>(s.maxBandwidthPerSecond) - static_cast<long long>(s.usedThisSecond);
    if (remaining < 0)
        s.throttleWakeTime = *s.measurementDeadline + double(-remaining) / double(s.maxBandwidthPerSecond);
}

unsigned long ReqBandwidthThrottle::maxUploadReadLength() {
    ThrottleState& s = state();
    std::lock_guard guard(s.lock);
    unsigned long allowance = s.maxBandwidthPerSecond / 4;
    if (s.maxBandwidthPerSecond && s.usedThisSecond + allowance > s.maxBandwidthPerSecond)
        allowance =
            s.usedThisSecond >= s.maxBandwidthPerSecond ? 0 : s.maxBandwidthPerSecond - s.usedThisSecond;
    if (allowance == 0 || !s.measurementDeadline || *s.measurementDeadline <= s.clock->secondsSinceStart())
        s.throttleWakeTime = s.measurementDeadline;
    return allowance;
}

qint64 ReqBandwidthThrottle::throttledReadSize(qint64 readSize) {
    ThrottleState& s = state();
    std::lock_guard guard(s.lock);
    if (s.maxBandwidthPerSecond == 0)
        return readSize;
    const long long allowance =
        static_cast<long long>(s.maxBandwidthPerSecond) - static_cast<long long>(s.usedThisSecond);
    if (allowance < 0)
        return 1;
    return std::max<qint64>(1, std::min<qint64>(readSize, allowance / 4));
}

std::optional<double> ReqBandwidthThrottle::wakeTime() {
    std::lock_guard guard(state().lock);
    return state().throttleWakeTime;
}

void ReqBandwidthThrottle::setClockForTesting(std::shared_ptr<platform::Clock> clock) {
    std::lock_guard guard(state().lock);
    state().clock = clock ? std::move(clock) : platform::Clock::system();
}

void ReqBandwidthThrottle::resetForTesting() {
    std::lock_guard guard(state().lock);
    ThrottleState& s = state();
    s.maxBandwidthPerSecond = 0;
    s.usedThisSecond = 0;
    s.measurementDeadline.reset();
    s.usageHistory.clear();
    s.averageBandwidthUsedPerSecond = 0;
    s.throttleWakeTime.reset();
}

std::deque<unsigned long> ReqBandwidthThrottle::usageHistoryForTesting() {
    std::lock_guard guard(state().lock);
    return state().usageHistory;
}
