#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

// Where the display link reads the time and how it waits for the next refresh. Tests give it a manual
// source and move time by hand; the program uses the steady clock.
class DisplayLinkTimeSource {
public:
    virtual ~DisplayLinkTimeSource() = default;
    // Seconds on a monotonic scale.
    virtual double now() const = 0;
    // Returns when now() >= deadline or a stop has been requested.
    virtual void waitUntil(double deadline, std::stop_token stop) = 0;

    static std::shared_ptr<DisplayLinkTimeSource> steady();
};

// Time that moves only when advance() is called.
class ManualDisplayLinkTimeSource : public DisplayLinkTimeSource {
public:
    double now() const override;
    void waitUntil(double deadline, std::stop_token stop) override;
    void advance(double seconds);

private:
    mutable std::mutex mutex;
    std::condition_variable_any moved;
    double seconds = 0.0;
};

// The preview's refresh clock: a thread of its own that calls the output callback once per display refresh
// with the time the frame will be shown and the current time. Refreshes that were missed are skipped, not
// queued. The callback never runs on the thread that starts or stops the link.
class DisplayLink {
public:
    using OutputCallback = std::function<int(double outputTime, double currentTime)>;

    explicit DisplayLink(OutputCallback callback, double refreshPeriod = 1.0 / 60.0,
                         std::shared_ptr<DisplayLinkTimeSource> source = DisplayLinkTimeSource::steady());
    // Stops the thread (waiting for a callback that is running) before it goes.
    ~DisplayLink();
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    void start();
    // Waits for a running callback to end; a callback must not stop its own link.
    void stop();
    bool isRunning() const;
    double refreshPeriod() const { return period; }

private:
    void run(std::stop_token stop, double next);

    OutputCallback callback;
    double period;
    std::shared_ptr<DisplayLinkTimeSource> source;
    mutable std::mutex threadMutex;
    std::jthread thread;
};
