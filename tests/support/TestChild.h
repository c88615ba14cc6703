#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>

// The test program run again as a child process, for tests of two processes: the child runs one test that
// ordinary runs leave out (its suite named "DISABLED_..."), with variables added to the test's environment
// as it is when the child starts. The child says it is ready with tellParent(); the parent waits for that
// line, never for a time.
class TestChild {
public:
    TestChild(const QString& test, const QMap<QString, QString>& environment = {});
    // Kills a child still running and waits for its end.
    ~TestChild();
    TestChild(const TestChild&) = delete;
    TestChild& operator=(const TestChild&) = delete;

    // Waits until the child has printed `line`; false when it ended without (said() then tells why).
    bool waitForLine(const QByteArray& line);
    // Closes the child's input, which ends a child in waitForParent(), and waits for its end; true when its
    // test passed.
    bool finish();
    // Ends the child at once, as a kill ends a copy of the program, and waits for its end.
    void kill();
    // Everything the child printed so far.
    QString said();

    // In the child: prints `line` for the parent.
    static void tellParent(const char* line);
    // In the child: waits until the parent closes its input (or kills it).
    static void waitForParent();

private:
    QProcess process;
    QByteArray output;
};
