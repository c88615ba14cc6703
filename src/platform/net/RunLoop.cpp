#include "platform/net/RunLoop.h"

#include "platform/foundation/LoopContext.h"
#include "platform/foundation/UniqueFd.h"

#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::net {

namespace {

// Qt objects handed back to their thread's loop for deletion: a watch or timer may be dropped by its own
// callback, while Qt is still inside the notifier's or timer's signal, or by another thread. Once that
// thread has ended, no loop would ever delete them, and nothing can be inside their signals: they go now.
template <typename T> void retire(std::unique_ptr<T>& object) {
    if (!object)
        return;
    object->disconnect();
    const QThread* owner = object->thread();
    if (!owner || owner->isFinished())
        object.reset();
    else
        object.release()->deleteLater();
}

bool onThreadOf(const QObject& object) {
    return object.thread() == QThread::currentThread();
}

class QtSocketWatch : public RunLoop::SocketWatch {
public:
    QtSocketWatch(int fd, RunLoop::ReadyCallback ready)
        : reader(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)),
          writer(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write)) {
        auto callback = std::make_shared<RunLoop::ReadyCallback>(std::move(ready));
        QObject::connect(reader.get(), &QSocketNotifier::activated, reader.get(),
                         [callback] { (*callback)(true, false); });
        QObject::connect(writer.get(), &QSocketNotifier::activated, writer.get(),
                         [callback] { (*callback)(false, true); });
        reader->setEnabled(false);
        writer->setEnabled(false);
    }
    ~QtSocketWatch() override {
        if (onThreadOf(*reader)) {
            reader->setEnabled(false);
            writer->setEnabled(false);
        }
        retire(reader);
        retire(writer);
    }
    void setEvents(bool read, bool write) override {
        reader->setEnabled(read);
        writer->setEnabled(write);
    }

private:
    std::unique_ptr<QSocketNotifier> reader;
    std::unique_ptr<QSocketNotifier> writer;
};

class QtLoopTimer : public RunLoop::Timer {
public:
    QtLoopTimer(double seconds, bool repeating, std::function<void()> fire)
        : timer(std::make_unique<QTimer>()) {
        timer->setSingleShot(!repeating);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, timer.get(), std::move(fire));
        // Stopped where it runs when its thread ends, so that a timer dropped later is not stopped from
        // another thread.
        QObject::connect(QThread::currentThread(), &QThread::finished, timer.get(), &QTimer::stop,
                         Qt::DirectConnection);
        timer->start(std::max(0, int(seconds * 1000.0)));
    }
    ~QtLoopTimer() override {
        if (onThreadOf(*timer))
            timer->stop();
        retire(timer);
    }

private:
    std::unique_ptr<QTimer> timer;
};

class QtRunLoop : public RunLoop {
public:
    QtRunLoop() : context(LoopContext::current()) {}
    std::unique_ptr<SocketWatch> watchSocket(int fd, ReadyCallback ready) override {
        return std::make_unique<QtSocketWatch>(fd, std::move(ready));
    }
    std::unique_ptr<Timer> startTimer(double seconds, bool repeating, std::function<void()> fire) override {
        return std::make_unique<QtLoopTimer>(seconds, repeating, std::move(fire));
    }
    void post(std::function<void()> work) override { context->post(std::move(work)); }
    bool isCurrent() const override { return context->isCurrent(); }

private:
    std::shared_ptr<LoopContext> context;
};

} // namespace

std::shared_ptr<RunLoop> qtRunLoopForCurrentThread() {
    thread_local std::shared_ptr<RunLoop> loop = std::make_shared<QtRunLoop>();
    return loop;
}

using SteadyClock = std::chrono::steady_clock;

struct PrivateRunLoop::State {
    struct Watch {
        int fd = -1;
        bool read = false;
        bool write = false;
        std::shared_ptr<ReadyCallback> ready;
    };
    struct TimerEntry {
        SteadyClock::time_point due;
        SteadyClock::duration interval;
        bool repeating = false;
        std::shared_ptr<std::function<void()>> fire;
    };

    std::thread::id owner = std::this_thread::get_id();
    std::map<int, Watch> watches;
    std::map<int, TimerEntry> timers;
    int nextId = 1;

    std::mutex postMutex;
    std::deque<std::function<void()>> posted;
    UniqueFd wakeup{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

namespace {

class PrivateSocketWatch : public RunLoop::SocketWatch {
public:
    PrivateSocketWatch(std::weak_ptr<PrivateRunLoop::State> state, int id)
        : state(std::move(state)), id(id) {}
    ~PrivateSocketWatch() override {
        if (auto shared = state.lock())
            shared->watches.erase(id);
    }
    void setEvents(bool read, bool write) override {
        if (auto shared = state.lock()) {
            if (const auto found = shared->watches.find(id); found != shared->watches.end()) {
                found->second.read = read;
                found->second.write = write;
            }
        }
    }

private:
    std::weak_ptr<PrivateRunLoop::State> state;
    int id;
};

class PrivateTimer : public RunLoop::Timer {
public:
    PrivateTimer(std::weak_ptr<PrivateRunLoop::State> state, int id) : state(std::move(state)), id(id) {}
    ~PrivateTimer() override {
        if (auto shared = state.lock())
            shared->timers.erase(id);
    }

private:
    std::weak_ptr<PrivateRunLoop::State> state;
    int id;
};

} // namespace

PrivateRunLoop::PrivateRunLoop() : state(std::make_shared<State>()) {}

PrivateRunLoop::~PrivateRunLoop() = default;

std::shared_ptr<PrivateRunLoop> PrivateRunLoop::create() {
    return std::shared_ptr<PrivateRunLoop>(new PrivateRunLoop());
}

std::unique_ptr<RunLoop::SocketWatch> PrivateRunLoop::watchSocket(int fd, ReadyCallback ready) {
    const int id = state->nextId++;
    state->watches[id] = State::Watch{fd, false, false, std::make_shared<ReadyCallback>(std::move(ready))};
    return std::make_unique<PrivateSocketWatch>(state, id);
}

std::unique_ptr<RunLoop::Timer> PrivateRunLoop::startTimer(double seconds, bool repeating,
                                                           std::function<void()> fire) {
    const int id = state->nextId++;
    const auto interval = std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(std::max(0.0, seconds)));
    state->timers[id] = State::TimerEntry{SteadyClock::now() + interval, interval, repeating,
                                          std::make_shared<std::function<void()>>(std::move(fire))};
    return std::make_unique<PrivateTimer>(state, id);
}

void PrivateRunLoop::post(std::function<void()> work) {
    {
        std::lock_guard lock(state->postMutex);
        state->posted.push_back(std::move(work));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(state->wakeup.get(), &one, sizeof one);
}

bool PrivateRunLoop::isCurrent() const {
    return state->owner == std::this_thread::get_id();
}

void PrivateRunLoop::runOnce() {
    const auto keepAlive = state;
    std::vector<pollfd> fds{{state->wakeup.get(), POLLIN, 0}};
    std::vector<int> ids;
    for (const auto& [id, watch] : state->watches) {
        if (!watch.read && !watch.write)
            continue;
        fds.push_back({watch.fd, short((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0)), 0});
        ids.push_back(id);
    }
    int timeout = -1;
    for (const auto& [id, timer] : state->timers) {
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(timer.due - SteadyClock::now()).count();
        timeout = timeout < 0 ? int(std::max<long long>(0, wait))
                              : std::min<int>(timeout, std::max<long long>(0, wait));
    }
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
        return;

    for (size_t i = 1; i < fds.size(); ++i) {
        const auto found = state->watches.find(ids[i - 1]);
        if (found == state->watches.end() || !fds[i].revents)
            continue;
        const bool failed = fds[i].revents & (POLLERR | POLLHUP | POLLNVAL);
        const bool readable = (fds[i].revents & POLLIN) || (failed && found->second.read);
        const bool writable = (fds[i].revents & POLLOUT) || (failed && found->second.write);
        const auto ready = found->second.ready;
        if (readable || writable)
            (*ready)(readable, writable);
    }
    std::vector<int> due;
    for (const auto& [id, timer] : state->timers)
        if (timer.due <= SteadyClock::now())
            due.push_back(id);
    for (int id : due) {
        const auto found = state->timers.find(id);
        if (found == state->timers.end())
            continue;
        const auto fire = found->second.fire;
        if (found->second.repeating)
            found->second.due =
                SteadyClock::now() + std::max(found->second.interval, SteadyClock::duration(1));
        else
            state->timers.erase(found);
        (*fire)();
    }
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = ::read(state->wakeup.get(), &count, sizeof count);
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(state->postMutex);
        work.swap(state->posted);
    }
    for (auto& item : work)
        item();
}

void PrivateRunLoop::runUntil(const std::function<bool()>& done) {
    while (!done())
        runOnce();
}

} // namespace platform::net
