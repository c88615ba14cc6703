#pragma once

#include "platform/net/RunLoop.h"

#include <memory>

// The one thread on whose loop every asynchronous request runs: made on first use, stopped and joined when
// the application ends (or when asked).
class ReqNetworkThread {
public:
    // The thread's loop, starting the thread when none runs.
    static std::shared_ptr<platform::net::RunLoop> runLoop();
    // Closes the idle kept connections on the thread, ends its loop and waits for it.
    static void stop();
    static bool isRunning();
};
