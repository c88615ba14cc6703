#include "export/FrameRing.h"

#include "platform/foundation/ThreadJoin.h"

#include <algorithm>

namespace {

constexpr auto kStopPoll = std::chrono::milliseconds(100);
// Enough to ride out a transition's costly frames or a photo's loading while the encoder works through the
// frames before; the encoder's own queues and look-ahead buffer more behind it.
constexpr std::size_t kReadAheadBytes = std::size_t(40) << 20;
constexpr std::size_t kFewestSlots = 4;
constexpr std::size_t kMostSlots = 24;

} // namespace

FrameRing::FrameRing(FramePipeReader& pipeReader, std::size_t count)
    : reader(pipeReader), buffers(std::max<std::size_t>(count, 1)) {
    // Slots are filled last-freed first and get their memory on first use: the slots beyond what the
    // encoder needs to keep up never take any.
    for (std::size_t i = buffers.size(); i-- > 0;)
        free.push_back(i);
}

std::size_t FrameRing::slotsFor(std::size_t frameBytes) {
    return std::clamp(kReadAheadBytes / std::max<std::size_t>(frameBytes, 1), kFewestSlots, kMostSlots);
}

FrameRing::~FrameRing() {
    stop();
}

void FrameRing::start(FramePipeReader::Checks checks) {
    if (thread.joinable())
        return;
    auto stopTest = std::move(checks.stop);
    checks.stop = [this, stopTest] {
        {
            const std::lock_guard lock(mutex);
            if (stopping)
                return true;
        }
        return stopTest && stopTest();
    };
    thread = std::thread([this, checks = std::move(checks)] { readFrames(checks); });
}

void FrameRing::stop() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    platform::joinUnlessSelf(thread, "the frame ring's reader");
}

void FrameRing::readFrames(FramePipeReader::Checks checks) {
    for (;;) {
        std::size_t slot = 0;
        {
            std::unique_lock lock(mutex);
            while (!stopping && free.empty()) {
                lock.unlock();
                const bool stop = checks.stop && checks.stop();
                lock.lock();
                if (stop)
                    break;
                changed.wait_for(lock, kStopPoll, [this] { return stopping || !free.empty(); });
            }
            if (stopping || free.empty()) {
                ended = true;
                end = FramePipeReader::Status::Stopped;
                changed.notify_all();
                return;
            }
            slot = free.back();
            free.pop_back();
        }
        if (buffers[slot].empty())
            buffers[slot].resize(reader.frameBytes());
        const FramePipeReader::Status status = reader.readFrame(buffers[slot].data(), checks);
        const std::lock_guard lock(mutex);
        if (status == FramePipeReader::Status::Frame) {
            filled.push_back(slot);
        } else {
            free.push_back(slot);
            ended = true;
            end = status;
            error = reader.errorString();
            code = reader.errorCode();
        }
        changed.notify_all();
        if (ended)
            return;
    }
}

FramePipeReader::Status FrameRing::next(const unsigned char** frame, const std::function<bool()>& stop) {
    std::unique_lock lock(mutex);
    while (filled.empty() && !ended) {
        lock.unlock();
        const bool stopped = stop && stop();
        lock.lock();
        if (stopped)
            return FramePipeReader::Status::Stopped;
        changed.wait_for(lock, kStopPoll, [this] { return ended || !filled.empty(); });
    }
    if (filled.empty())
        return end;
    *frame = buffers[filled.front()].data();
    return FramePipeReader::Status::Frame;
}

void FrameRing::release() {
    {
        const std::lock_guard lock(mutex);
        if (filled.empty())
            return;
        free.push_back(filled.front());
        filled.pop_front();
    }
    changed.notify_all();
}

QString FrameRing::errorString() const {
    const std::lock_guard lock(mutex);
    return error;
}

int FrameRing::errorCode() const {
    const std::lock_guard lock(mutex);
    return code;
}
