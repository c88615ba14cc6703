#pragma once

#include "support/TestChild.h"

#include <QString>

// Another process that holds an exclusive flock on a file (made where there is none) until it is let go:
// the test program run again as a child.
class LockHolder {
public:
    explicit LockHolder(const QString& path);
    // Whether the child holds the lock; false with the child's words in said() when it could not.
    bool holds() const { return held; }
    QString said() { return child.said(); }
    // Lets go of the lock: the child ends.
    bool letGo() { return child.finish(); }

private:
    TestChild child;
    bool held = false;
};
