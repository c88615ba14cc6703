#pragma once

#include <functional>
#include <memory>

namespace platform::net {

// Where our HTTP streams and their timers run: the loop of one thread that watches sockets and fires
// timers. There are two: the Qt event loop of a thread (QtRunLoop), and a private poll() loop that drives
// only what was given to it, for a caller that waits for its own request (PrivateRunLoop). Watches and
// timers are made, changed and dropped on the loop's thread; post() may be called from any thread.
class RunLoop {
public:
    // A socket watched for readiness; dropping it stops the watch.
    class SocketWatch {
    public:
        virtual ~SocketWatch() = default;
        virtual void setEvents(bool read, bool write) = 0;
    };
    // A timer; dropping it stops the timer.
    class Timer {
    public:
        virtual ~Timer() = default;
    };

    using ReadyCallback = std::function<void(bool readable, bool writable)>;

    virtual ~RunLoop() = default;
    virtual std::unique_ptr<SocketWatch> watchSocket(int fd, ReadyCallback ready) = 0;
    virtual std::unique_ptr<Timer> startTimer(double seconds, bool repeating, std::function<void()> fire) = 0;
    // Runs work on the loop's thread, after what is already queued; dropped once the loop is gone.
    virtual void post(std::function<void()> work) = 0;
    virtual bool isCurrent() const = 0;
};

// The calling thread's Qt event loop (made once per thread).
std::shared_ptr<RunLoop> qtRunLoopForCurrentThread();

// A loop of one's own on the calling thread: it runs only when told to, and then only serves the sockets,
// timers and posts given to it.
class PrivateRunLoop : public RunLoop, public std::enable_shared_from_this<PrivateRunLoop> {
public:
    static std::shared_ptr<PrivateRunLoop> create();
    ~PrivateRunLoop() override;

    std::unique_ptr<SocketWatch> watchSocket(int fd, ReadyCallback ready) override;
    std::unique_ptr<Timer> startTimer(double seconds, bool repeating, std::function<void()> fire) override;
    void post(std::function<void()> work) override;
    bool isCurrent() const override;

    // Serves the loop until `done` holds; checks it after every piece of work.
    void runUntil(const std::function<bool()>& done);

    struct State;

private:
    PrivateRunLoop();
    void runOnce();
    std::shared_ptr<State> state;
};

} // namespace platform::net
