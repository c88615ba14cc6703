#pragma once

#include <thread>

namespace platform {

// Waits for a thread to end. Called on that thread itself (its last owner let go of it from its own code),
// which cannot wait for itself, it detaches it instead: the thread is about to return anyway. Nothing
// happens to a thread that is not joinable.
inline void joinUnlessSelf(std::thread& thread) {
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

} // namespace platform
