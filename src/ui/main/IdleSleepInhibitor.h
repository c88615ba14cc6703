#pragma once

#include <QString>

// Keeps the display awake while the application runs, through the desktop's screen-saver service on the
// session bus. Without a session bus or the service, it holds nothing and says so by answering false.
class IdleSleepInhibitor {
public:
    IdleSleepInhibitor() = default;
    // Releases what it holds.
    ~IdleSleepInhibitor();
    IdleSleepInhibitor(const IdleSleepInhibitor&) = delete;
    IdleSleepInhibitor& operator=(const IdleSleepInhibitor&) = delete;

    bool inhibit(const QString& application, const QString& reason);
    void release();
    bool isHeld() const { return held; }

private:
    unsigned cookie = 0;
    bool held = false;
};
