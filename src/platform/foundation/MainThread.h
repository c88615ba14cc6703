#pragma once

#include <functional>
#include <memory>

namespace platform {

bool isMainThread();
// Runs work on the main thread: now when already there, else queued to the main event loop.
void runOnMainThread(std::function<void()> work);
// Runs work on the main thread and returns when it has run. Called on the main thread, it runs at once.
void runOnMainThreadAndWait(std::function<void()> work);

// Main-thread work handed over by an owner's threads, which the owner can call off: once closed, work not
// yet run is dropped and every waiter returns at once. An owner on the main thread can so join its threads
// even while they wait for the main thread. Work runs only while the gate is open.
class MainThreadGate {
    struct State;

public:
    // The gate's posting end, to be copied into work of other threads that may outlive the owner (observers,
    // pool tasks): it keeps the gate's state alive, not the owner, and posts nothing once the gate closed.
    class Poster {
    public:
        void post(std::function<void()> work) const;

    private:
        friend class MainThreadGate;
        explicit Poster(std::shared_ptr<State> state) : state(std::move(state)) {}
        std::shared_ptr<State> state;
    };

    MainThreadGate();
    // Closes the gate.
    ~MainThreadGate();
    MainThreadGate(const MainThreadGate&) = delete;
    MainThreadGate& operator=(const MainThreadGate&) = delete;

    // Runs work on the main thread (at once when called there) and waits for it; false when the gate
    // closed before it ran.
    bool runAndWait(std::function<void()> work);
    // Queues work for the main thread (runs it at once when called there).
    void post(std::function<void()> work);
    Poster poster() const { return Poster(state); }
    void close();
    bool isOpen() const;

private:
    std::shared_ptr<State> state;
};

} // namespace platform
