#include "platform/net/ReceiveQueue.h"

namespace platform::net {

namespace {

std::atomic<qint64> queuedNow{0};
std::atomic<qint64> queuedPeak{0};

void count(qint64 change) {
    const qint64 now = queuedNow += change;
    qint64 peak = queuedPeak.load();
    while (now > peak && !queuedPeak.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

ReceiveQueue::~ReceiveQueue() {
    count(-pending.size());
}

bool ReceiveQueue::mustPause() {
    std::lock_guard lock(mutex);
    paused = pending.size() >= kMaximumQueuedBytes;
    return paused;
}

bool ReceiveQueue::push(const char* data, qsizetype size) {
    std::lock_guard lock(mutex);
    const bool wasEmpty = pending.isEmpty();
    pending.append(data, size);
    count(size);
    return wasEmpty;
}

QByteArray ReceiveQueue::take(bool& resume) {
    std::lock_guard lock(mutex);
    QByteArray taken;
    taken.swap(pending);
    count(-taken.size());
    resume = paused;
    paused = false;
    return taken;
}

qint64 ReceiveQueue::queuedBytes() {
    return queuedNow.load();
}

qint64 ReceiveQueue::peakQueuedBytes() {
    return queuedPeak.load();
}

void ReceiveQueue::resetPeak() {
    queuedPeak = queuedNow.load();
}

} // namespace platform::net
