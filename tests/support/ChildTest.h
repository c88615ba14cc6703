#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

namespace test_support {

// How a child run of this test program ended.
struct ChildEnd {
    bool exitedNormally = false; // returned or exited, rather than killed by a signal (an abort)
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs this test program again as a child process that runs `test` alone (a disabled test, named with its
// "DISABLED_" suite), in this process's environment with `extra` added, and waits for its end.
ChildEnd runTestAsChild(const QString& test, const QProcessEnvironment& extra = {});

} // namespace test_support
