#include "render/DisplayLink.h"

#include "platform/foundation/ThreadJoin.h"

#include <chrono>
#include <cmath>

namespace {

class SteadyTimeSource : public DisplayLinkTimeSource {
public:
    double now() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void waitUntil(double deadline, std::stop_token stop) override {
        std::unique_lock lock(mutex);
        const auto until = std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(deadline)));
        wake.wait_until(lock, stop, until, [] { return false; });
    }

private:
    std::mutex mutex;
    std::condition_variable_any wake;
};

} // namespace

std::shared_ptr<DisplayLinkTimeSource> DisplayLinkTimeSource::steady() {
    return std::make_shared<SteadyTimeSource>();
}

double ManualDisplayLinkTimeSource::now() const {
    const std::lock_guard lock(mutex);
    return seconds;
}

void ManualDisplayLinkTimeSource::waitUntil(double deadline, std::stop_token stop) {
    std::unique_lock lock(mutex);
    moved.wait(lock, stop, [&] { return seconds >= deadline; });
}

void ManualDisplayLinkTimeSource::advance(double by) {
    {
        const std::lock_guard lock(mutex);
        seconds += by;
    }
    moved.notify_all();
}

DisplayLink::DisplayLink(OutputCallback output, double refreshPeriod,
                         std::shared_ptr<DisplayLinkTimeSource> time)
    : callback(std::move(output)), period(refreshPeriod), source(std::move(time)) {}

DisplayLink::~DisplayLink() {
    stop();
}

void DisplayLink::start() {
    const std::lock_guard lock(threadMutex);
    if (thread.joinable())
        return;
    // The first refresh is counted from the start, not from whenever the thread gets going.
    const double first = source->now() + period;
    thread = std::jthread([this, first](std::stop_token stop) { run(stop, first); });
}

void DisplayLink::stop() {
    std::jthread ending;
    {
        const std::lock_guard lock(threadMutex);
        ending = std::move(thread);
    }
    ending.request_stop();
    platform::joinUnlessSelf(ending, "the display link's thread");
}

bool DisplayLink::isRunning() const {
    const std::lock_guard lock(threadMutex);
    return thread.joinable();
}

void DisplayLink::run(std::stop_token stop, double next) {
    while (!stop.stop_requested()) {
        source->waitUntil(next, stop);
        if (stop.stop_requested())
            break;
        const double now = source->now();
        callback(next + period, now);
        next += period;
        // Refreshes missed before this one are dropped, not made up for; one that passes while the
        // callback runs is served at once, and the count starts again from there.
        if (next <= now)
            next = now + period - std::fmod(now - next, period);
    }
}
