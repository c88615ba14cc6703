#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// Ignores SIGPIPE for the whole process, so a writer whose reader died gets EPIPE instead of dying.
void ignoreSigpipe();

// An outside program run from an argument vector, never through a shell. It dies with this program, however
// this program ends.
class ChildProcess {
public:
    struct Options {
        QString program; // a path, or a name looked up on PATH
        QStringList arguments;
        QMap<QString, QString> environment; // added to (or replacing entries of) the inherited one
        QString workingFolder;
        QString stdinFile;        // empty: /dev/null
        QString stdoutFile;       // empty: read through readLine()/readAll()
        bool mergeStderr = false; // stderr into stdout; else read through readAllStderr()
        // Reads at most this many bytes of each output stream (0: no bound); past them the stream is read
        // no more (the child's next write fails) and outputOverflowed() says so.
        qsizetype outputLimit = 0;
        // The child leads a process group of its own: terminate() and kill() reach the whole group, and
        // whatever the child leaves running in it is killed when the child ends.
        bool ownProcessGroup = false;
    };

    explicit ChildProcess(Options options);
    ~ChildProcess(); // kills and reaps a child that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool start(QString* error = nullptr);
    bool isRunning();
    qint64 pid() const;

    // Reads the next line of standard output (without its newline); nullopt at end of output.
    std::optional<QString> readLine();
    QByteArray readAll(); // all remaining standard output
    QByteArray readAllStderr();
    // Whether standard output has ended (or is read no more); never waits.
    bool outputClosed();
    bool outputOverflowed();

    // Waits for the exit; the exit status, or -1 when the child died by a signal or never started.
    int waitForExit();
    bool exitedNormally() const; // exited (not killed by a signal) with status 0
    int exitStatus() const;
    int terminatingSignal() const; // 0 unless killed by a signal

    void terminate(); // SIGTERM, only while the child has not been reaped
    void kill();      // SIGKILL, likewise

    // Runs a program to its end; its standard output in *output. True when it exited with status 0.
    static bool run(const Options& options, QByteArray* output = nullptr, QString* error = nullptr);

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace platform
