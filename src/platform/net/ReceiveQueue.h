#pragma once

#include <QByteArray>

#include <atomic>
#include <mutex>

namespace platform::net {

// The body bytes of one transfer on their way from the network thread to the thread of its connection.
// Writes are merged into one piece, so that a reply in tiny chunks costs no more than one in large ones, and
// the transfer pauses while more than kMaximumQueuedBytes wait: memory stays bounded however slowly the
// connection's thread takes them.
class ReceiveQueue {
public:
    static constexpr qint64 kMaximumQueuedBytes = 4 * 1024 * 1024;

    ReceiveQueue() = default;
    ~ReceiveQueue();
    ReceiveQueue(const ReceiveQueue&) = delete;
    ReceiveQueue& operator=(const ReceiveQueue&) = delete;

    // Network thread. Whether the transfer must pause instead of handing on more; once it answers true,
    // the queue remembers that the transfer waits for take().
    bool mustPause();
    // Network thread: appends the bytes; true when the queue was empty, so that the connection's thread must
    // be told to take them.
    bool push(const char* data, qsizetype size);
    // The connection's thread: everything queued. `resume` is set when the transfer paused and now goes on.
    QByteArray take(bool& resume);

    // Bytes waiting in every queue of the process now, and the most that ever waited at once since the last
    // resetPeak(): what back-pressure keeps bounded.
    static qint64 queuedBytes();
    static qint64 peakQueuedBytes();
    static void resetPeak();

private:
    std::mutex mutex;
    QByteArray pending;
    bool paused = false;
};

} // namespace platform::net
