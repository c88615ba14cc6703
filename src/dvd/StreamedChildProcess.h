#pragma once

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <functional>
#include <memory>

// An outside program whose standard output (with its error output when the options merge them) is read
// in pieces while it runs: a disc image too large to keep, or status lines wanted as they come. The
// output goes through a FIFO of mode 0600 in the given private folder; its name is gone once both ends
// are open, so nothing is left behind.
class StreamedChildProcess {
public:
    StreamedChildProcess(platform::ChildProcess::Options options, QString fifoFolder);
    ~StreamedChildProcess(); // a child still running is killed and reaped
    StreamedChildProcess(const StreamedChildProcess&) = delete;
    StreamedChildProcess& operator=(const StreamedChildProcess&) = delete;

    bool start(QString* error = nullptr);
    // Removes from folder the FIFOs that runs of processes that have ended left there (killed before the
    // FIFO's name went); a running process's are left alone.
    static void removeLeftoverFifos(const QString& folder);
    // Runs in start() once the FIFO is made, before either of its ends is opened, with the FIFO's path
    // (tests put another program's files at its name there).
    void setBeforeOpen(std::function<void(const QString& fifo)> hook) { beforeOpen = std::move(hook); }

    // Waits for output: the number of bytes read, 0 once the child has closed its output, -1 on an error.
    qint64 read(char* buffer, qint64 size);

    // Signals for a child that has not been reaped; safe from any thread, also while another reads.
    void terminate();
    void kill();

    int waitForExit();
    bool exitedNormally() const;
    // "exited with status 2: <end of its error output>" or "was stopped by signal 15".
    QString exitDescription();
    platform::ChildProcess& process() { return *child; }

private:
    platform::ChildProcess::Options options;
    QString folder;
    platform::NamedPipe fifo;
    platform::UniqueFd readEnd;
    std::unique_ptr<platform::ChildProcess> child;
    std::function<void(const QString&)> beforeOpen;
};
