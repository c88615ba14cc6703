#pragma once

#include <QUrl>

#include <functional>

namespace platform {

// Opens an address (a web page, a local folder) with the desktop's opener, "xdg-open" as found on PATH,
// given the address as one argument and never through a shell. False when no opener could be started. When
// one runs, `outcome` (which may be empty) is told once, later, on the calling thread, whether it ended
// reporting success: an opener that finds nothing to open the address with starts and then fails, and only
// its exit status tells. Called on a thread with an event loop (the main thread).
bool openWithDesktop(const QUrl& address, std::function<void(bool opened)> outcome);

} // namespace platform
