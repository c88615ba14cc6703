#include "platform/foundation/Scheduler.h"

#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform {

namespace {

constexpr double kShortestPeriod = 0.001;

int milliseconds(double seconds, bool repeating) {
    const double floor = repeating ? kShortestPeriod : 0.0;
    const double clamped = std::isfinite(seconds) ? std::max(seconds, floor) : floor;
    return int(std::min(std::round(clamped * 1000.0), double(std::numeric_limits<int>::max())));
}

// Qt timers parented to the application object; each goes with deleteLater once it has run or been
// cancelled, so a cancel from inside the timer's own work is safe.
class QtScheduler : public Scheduler {
public:
    double now() const override { return clock->secondsSinceStart(); }

protected:
    void arm(Work work) override {
        const int interval = milliseconds(work.seconds, work.repeating);
        runOnMainThread([work = std::move(work), interval]() mutable {
            if (!isActive(*work.task))
                return;
            QPointer<QTimer> timer = new QTimer(QCoreApplication::instance());
            timer->setSingleShot(!work.repeating);
            timer->setInterval(interval);
            const std::shared_ptr<Task> task = work.task;
            QObject::connect(timer, &QTimer::timeout, timer,
                             [task, timer, repeating = work.repeating, body = std::move(work.body)] {
                                 if (!beginRun(*task, repeating))
                                     return;
                                 if (!repeating && timer)
                                     timer->deleteLater();
                                 body();
                             });
            setCancelAction(*task, [timer] {
                runOnMainThread([timer] {
                    if (timer) {
                        timer->stop();
                        timer->deleteLater();
                    }
                });
            });
            timer->start();
        });
    }

private:
    std::shared_ptr<Clock> clock = Clock::system();
};

} // namespace

// ---- handles

Scheduler::Handle& Scheduler::Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        cancel();
        task = std::move(other.task);
    }
    return *this;
}

void Scheduler::Handle::cancel() {
    if (!task)
        return;
    std::function<void()> action;
    if (task->active.exchange(false)) {
        const std::lock_guard lock(task->mutex);
        action = std::move(task->cancelAction);
    }
    task.reset();
    if (action)
        action();
}

bool Scheduler::Handle::isActive() const {
    return task && task->active.load();
}

// ---- the scheduler

Scheduler::Handle Scheduler::scheduleOnce(double seconds, std::function<void()> work) {
    auto task = std::make_shared<Task>();
    arm({task, seconds, false, std::move(work)});
    return Handle(task);
}

Scheduler::Handle Scheduler::scheduleRepeating(double seconds, std::function<void()> work) {
    auto task = std::make_shared<Task>();
    arm({task, std::max(seconds, kShortestPeriod), true, std::move(work)});
    return Handle(task);
}

bool Scheduler::beginRun(Task& task, bool repeating) {
    if (repeating)
        return task.active.load();
    return task.active.exchange(false);
}

bool Scheduler::isActive(const Task& task) {
    return task.active.load();
}

void Scheduler::setCancelAction(Task& task, std::function<void()> action) {
    {
        const std::lock_guard lock(task.mutex);
        if (task.active.load()) {
            task.cancelAction = std::move(action);
            return;
        }
    }
    action(); // cancelled while being armed
}

std::shared_ptr<Scheduler> Scheduler::mainThreadScheduler() {
    static const std::shared_ptr<Scheduler> scheduler = std::make_shared<QtScheduler>();
    return scheduler;
}

// ---- the manual scheduler

ManualScheduler::ManualScheduler(std::shared_ptr<ManualClock> manual) : clock(std::move(manual)) {}

void ManualScheduler::arm(Work work) {
    const std::lock_guard lock(mutex);
    entries.push_back({now() + std::max(work.seconds, 0.0), nextOrder++, std::move(work)});
}

bool ManualScheduler::takeNextDue(double until, Entry& next) {
    const std::lock_guard lock(mutex);
    std::erase_if(entries, [](const Entry& entry) { return !isActive(*entry.work.task); });
    // Sums of periods drift by a rounding error; work due within a nanosecond of the target is due.
    constexpr double kSlack = 1e-9;
    const auto earliest =
        std::min_element(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.due < b.due || (a.due == b.due && a.order < b.order);
        });
    if (earliest == entries.end() || earliest->due > until + kSlack)
        return false;
    next = *earliest;
    if (next.work.repeating) {
        earliest->due += next.work.seconds;
        earliest->order = nextOrder++;
    } else {
        entries.erase(earliest);
    }
    return true;
}

void ManualScheduler::advance(double seconds) {
    const double target = now() + std::max(seconds, 0.0);
    Entry next;
    while (takeNextDue(target, next)) {
        clock->set(std::max(now(), next.due));
        if (beginRun(*next.work.task, next.work.repeating))
            next.work.body();
    }
    clock->set(std::max(now(), target));
}

std::size_t ManualScheduler::pendingCount() const {
    const std::lock_guard lock(mutex);
    return std::size_t(std::count_if(entries.begin(), entries.end(),
                                     [](const Entry& entry) { return isActive(*entry.work.task); }));
}

} // namespace platform
