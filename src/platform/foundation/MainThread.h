#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace platform {

bool isMainThread();
// Runs work on the main thread: now when already there, else queued to the main event loop.
void runOnMainThread(std::function<void()> work);
// Runs work on the main thread and returns when it has run. Called on the main thread, it runs at once.
void runOnMainThreadAndWait(std::function<void()> work);

// Hands the last hold of an object to the main thread, which destroys it from its event loop, or at the run's
// end (destroyPendingOnMainThread).
void destroyOnMainThread(std::shared_ptr<void> last);
// Destroys, on the main thread, what other threads handed over to be destroyed there and that is still
// waiting, and nothing else of the work queued for the main thread: the run's end, past its event loop.
void destroyPendingOnMainThread();

// Destroys an object on the main thread: at once when its last owner lets go there, else handed over to it.
// For the model's objects that threads share (a project, its slides and songs): their destruction stops
// sound, closes clips and joins threads, which a frame or a loader, holding the GL driver or the view's
// context, must not do, nor wait for.
struct DeleteOnMainThread {
    template <class T> void operator()(T* object) const {
        std::unique_ptr<T> owned(object);
        if (!isMainThread())
            destroyOnMainThread(std::shared_ptr<T>(std::move(owned)));
    }
};

// A shared object that is destroyed on the main thread whichever thread lets go of it last.
template <class T, class... Args> std::shared_ptr<T> makeMainThreadShared(Args&&... args) {
    return std::unique_ptr<T, DeleteOnMainThread>(std::make_unique<T>(std::forward<Args>(args)...).release());
}

// Stops the process (or logs, as the lock order's breaks) when called off the main thread while there is one:
// called by the destructors of what must go on the main thread.
void checkDestroyedOnMainThread(const char* what);

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
