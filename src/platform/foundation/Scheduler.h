#pragma once

#include "platform/foundation/Clock.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// Work for later on the main thread: every delay, poll and animation step of the interface. The program
// schedules on Qt's timers (mainThreadScheduler()); tests drive a ManualScheduler whose time moves only
// when they say so. Schedule and cancel on the main thread; the work runs there.
class Scheduler {
protected:
    struct Task {
        std::atomic<bool> active{true};
        std::mutex mutex;
        std::function<void()> cancelAction;
    };

public:
    // One piece of scheduled work. Letting the handle go cancels the work, so an object that keeps the
    // handles of its work never has it run after it is gone. Move-only; an empty handle is inactive.
    class Handle {
    public:
        Handle() = default;
        Handle(Handle&& other) noexcept = default;
        Handle& operator=(Handle&& other) noexcept;
        ~Handle() { cancel(); }
        // The work will not start any more (work already running finishes).
        void cancel();
        // Scheduled, not cancelled, and (for a single shot) not yet run.
        bool isActive() const;

    private:
        friend class Scheduler;
        explicit Handle(std::shared_ptr<Task> task) : task(std::move(task)) {}
        std::shared_ptr<Task> task;
    };

    virtual ~Scheduler() = default;
    // Runs work once, `seconds` from now.
    Handle scheduleOnce(double seconds, std::function<void()> work);
    // Runs work every `seconds` (at least a millisecond) until cancelled.
    Handle scheduleRepeating(double seconds, std::function<void()> work);
    // Monotonic seconds on the scheduler's clock.
    virtual double now() const = 0;

    // Qt timers on the main thread, read against the steady clock.
    static std::shared_ptr<Scheduler> mainThreadScheduler();

protected:
    struct Work {
        std::shared_ptr<Task> task;
        double seconds = 0.0;
        bool repeating = false;
        std::function<void()> body;
    };
    // Arms the work; the implementation runs body() only while runIfActive() lets it.
    virtual void arm(Work work) = 0;
    // For a single shot: marks the task done. Answers whether the work may run.
    static bool beginRun(Task& task, bool repeating);
    static bool isActive(const Task& task);
    // What cancelling must also do (a timer to stop); called at most once.
    static void setCancelAction(Task& task, std::function<void()> action);
};

// A scheduler for tests: time stands still until advance(), which runs what falls due in time order.
class ManualScheduler : public Scheduler {
public:
    explicit ManualScheduler(std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>());

    double now() const override { return clock->secondsSinceStart(); }
    // Moves time on by `seconds`, running each piece of work as it falls due, in the order of its due time
    // (ties in the order scheduled), with the clock set to that time. Work scheduled meanwhile that falls
    // due within the step runs too.
    void advance(double seconds);
    // Pieces of work still scheduled.
    std::size_t pendingCount() const;
    std::shared_ptr<ManualClock> manualClock() const { return clock; }

protected:
    void arm(Work work) override;

private:
    struct Entry {
        double due = 0.0;
        quint64 order = 0;
        Work work;
    };
    bool takeNextDue(double until, Entry& next);

    std::shared_ptr<ManualClock> clock;
    mutable std::mutex mutex;
    std::vector<Entry> entries;
    quint64 nextOrder = 0;
};

} // namespace platform
