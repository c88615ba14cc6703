#pragma once

#include <functional>

namespace platform {

bool isMainThread();
// Runs work on the main thread: now when already there, else queued to the main event loop.
void runOnMainThread(std::function<void()> work);
// Runs work on the main thread and returns when it has run. Called on the main thread, it runs at once.
void runOnMainThreadAndWait(std::function<void()> work);

} // namespace platform
