#pragma once

namespace platform::gl {

// Lets one of our threads at a time into the GL driver while it draws or uploads. The software rasteriser
// lets a context that maps a texture (an upload, a read-back) or binds one for sampling walk every other
// context's drawing state, without a lock, while each context's own thread frees and rebuilds that state as
// it draws: a loader uploading a picture while the player draws a frame could read freed memory and crash.
//
// The player holds the lock while it draws or reads back a frame, a loader while it uploads a picture. A
// holder that waits for a loader (for its cache, for its end) lets go for the wait with Released, or the two
// would wait for each other. Waiters get in in the order they asked, so that a player drawing frame after
// frame cannot keep a loader out. A thread may take it again while it holds it.
class DriverLock {
public:
    DriverLock();
    ~DriverLock();
    DriverLock(const DriverLock&) = delete;
    DriverLock& operator=(const DriverLock&) = delete;

    // Lets go of this thread's hold (if any) for its lifetime and takes it back after.
    class Released {
    public:
        Released();
        ~Released();
        Released(const Released&) = delete;
        Released& operator=(const Released&) = delete;

    private:
        int holds;
    };

    static bool isHeldHere();
};

} // namespace platform::gl
