#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

// Drains a child's standard output and error pipes on one thread, so that neither can fill up and stall
// the child while the caller waits on the other one, on the exit, or on a pipe the child should read.
// What arrives is kept until the caller takes it.
class ChildOutput {
public:
    ChildOutput() = default;
    ~ChildOutput();
    ChildOutput(const ChildOutput&) = delete;
    ChildOutput& operator=(const ChildOutput&) = delete;

    // Reads at most `bytes` of each stream (0: no bound); past them a stream is read no more, so that the
    // writer's next write fails. Set before start().
    void setLimit(qsizetype bytes) { m_limit = bytes; }
    // Takes the read ends (either may be invalid) and starts draining them.
    bool start(UniqueFd out, UniqueFd err, QString* error);
    // Stops draining at once, even if some other process still holds the pipes open.
    void stop();

    std::optional<QByteArray> readLine();
    QByteArray readAll();
    QByteArray readAllStderr();
    // Whether standard output has ended (or is read no more); never waits.
    bool outputClosed();
    // Whether a stream went past the limit.
    bool overflowed();

private:
    struct Stream {
        UniqueFd fd; // touched by the draining thread only
        QByteArray data;
        qsizetype offset = 0;  // start of what the caller has not taken yet
        qsizetype scanned = 0; // no newline before this position
        bool open = false;
        qsizetype received = 0; // touched by the draining thread only
        bool overflowed = false;
    };

    void drain();
    bool pump(Stream& stream, char* buffer, std::size_t size);
    void close(Stream& stream);
    QByteArray takeAll(Stream& stream);

    qsizetype m_limit = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Stream m_streams[2];
    UniqueFd m_wakeRead;
    UniqueFd m_wakeWrite;
    std::thread m_thread;
};

} // namespace platform
