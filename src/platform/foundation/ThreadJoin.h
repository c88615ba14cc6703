#pragma once

#include "platform/gl/DriverLock.h"

#include <thread>

namespace platform {

// Waits for a thread (a std::thread, or a std::jthread asked to stop) to end. Called on that thread itself
// (its last owner let go of it from its own code), which cannot wait for itself, it detaches it instead: the
// thread is about to return anyway. Nothing happens to a thread that is not joinable. A join while this
// thread holds the GL driver lock, a main GL context or any lock ranked after the driver lock (all of which
// the joined thread may need) breaks the lock order, and the checker's report names `what`
// (platform/gl/DriverLock.h).
template <class Thread> void joinUnlessSelf(Thread& thread, const char* what = "a thread") {
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach();
        return;
    }
    gl::DriverLock::checkFreeToJoin(what);
    thread.join();
}

} // namespace platform
