#pragma once

#include "platform/foundation/Clock.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>

// The one byte budget per second that every request and request body shares. With a limit, reads and body
// sends are cut to fit and a request that has spent the second's budget waits until a wake-up time; without
// one the same bookkeeping still gives a running average. Times are seconds on the monotonic clock.
class ReqBandwidthThrottle {
public:
    static bool isBandwidthThrottled();
    static unsigned long maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(unsigned long bytes);
    static void incrementBandwidthUsedInLastSecond(unsigned long bytes);
    static unsigned long averageBandwidthUsedPerSecond();
    // Closes a measurement second that has passed and works out the wake-up time.
    static void measureBandwidthUsage();
    // How many body bytes one read may take now (0 moves the wake-up time to the end of this second).
    static unsigned long maxUploadReadLength();
    // How many bytes one read of a response may take now, out of `readSize` (at least 1).
    static qint64 throttledReadSize(qint64 readSize);
    // When a throttled request may read again; nothing when it need not wait.
    static std::optional<double> wakeTime();
    static double now();

    // For tests: a clock of their own, and the state as it starts.
    static void setClockForTesting(std::shared_ptr<platform::Clock> clock);
    static void resetForTesting();
    static std::deque<unsigned long> usageHistoryForTesting();

private:
    static void recordBandwidthUsage(); // the lock is held by the caller
};
