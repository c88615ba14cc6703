#include "render/FramePipeQueue.h"

#include "platform/foundation/CancellableWait.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/gl/DriverLock.h"

#include <chrono>

namespace {

constexpr auto kCancelPoll = std::chrono::milliseconds(50);

} // namespace

FramePipeQueue::FramePipeQueue(FramePipeWriter& pipeWriter, std::function<bool()> cancelTest, int buffers)
    : writer(pipeWriter), cancelled(std::move(cancelTest)), frames(std::size_t(std::max(buffers, 1))) {
    for (std::size_t i = 0; i < frames.size(); ++i)
        free.push_back(i);
    // The writer's own waits (for a reader, for room in the pipe) end when the queue is given up too.
    writer.setCancelled([this] {
        {
            const std::lock_guard lock(mutex);
            if (leaving)
                return true;
        }
        return cancelled && cancelled();
    });
    thread = std::thread([this] { writeFrames(); });
}

FramePipeQueue::~FramePipeQueue() {
    platform::gl::DriverLock::checkFreeToWait("the frame pipe's writer");
    {
        // What the pump was told is written is written, as if the writes had been made on its own
        // thread, unless the export is cancelled or the pipe failed.
        std::unique_lock lock(mutex);
        waitUnlessCancelled(lock, [this] { return failed || queued.empty(); });
        leaving = true;
    }
    changed.notify_all();
    platform::joinUnlessSelf(thread, "the frame pipe's writer");
    writer.setCancelled(cancelled);
}

bool FramePipeQueue::waitUnlessCancelled(std::unique_lock<std::mutex>& lock,
                                         const std::function<bool()>& done) {
    if (platform::waitUnlessCancelled(lock, changed, kCancelPoll, cancelled, done))
        return true;
    if (!failed)
        error = QStringLiteral("The export was cancelled while the pipe was full");
    return false;
}

unsigned char* FramePipeQueue::acquire(std::size_t bytes) {
    platform::gl::DriverLock::checkFreeToWait("a free frame buffer of the pipe");
    std::unique_lock lock(mutex);
    if (!waitUnlessCancelled(lock, [this] { return failed || !free.empty(); }) || failed)
        return nullptr;
    filling = free.front();
    free.pop_front();
    Frame& frame = frames[filling];
    if (frame.bytes.size() < bytes)
        frame.bytes.resize(bytes);
    return frame.bytes.data();
}

void FramePipeQueue::submit(int rows, std::size_t rowBytes, bool bottomUp) {
    {
        const std::lock_guard lock(mutex);
        Frame& frame = frames[filling];
        frame.rows = rows;
        frame.rowBytes = rowBytes;
        frame.bottomUp = bottomUp;
        queued.push_back(filling);
    }
    changed.notify_all();
}

bool FramePipeQueue::flush() {
    platform::gl::DriverLock::checkFreeToWait("the frame pipe's writer");
    std::unique_lock lock(mutex);
    return waitUnlessCancelled(lock, [this] { return failed || queued.empty(); }) && !failed;
}

QString FramePipeQueue::errorString() const {
    const std::lock_guard lock(mutex);
    return error;
}

bool FramePipeQueue::write(const Frame& frame) {
    if (!writer.isOpen() && !writer.open())
        return false;
    return frame.bottomUp ? writer.writeFrameBottomUp(frame.bytes.data(), frame.rows, frame.rowBytes)
                          : writer.writeFrame(frame.bytes.data(), std::size_t(frame.rows) * frame.rowBytes);
}

void FramePipeQueue::writeFrames() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return leaving || !queued.empty(); });
        if (leaving || failed)
            return;
        const std::size_t next = queued.front();
        lock.unlock();
        const bool written = write(frames[next]);
        const QString why = written ? QString() : writer.errorString();
        lock.lock();
        queued.pop_front();
        free.push_back(next);
        if (!written) {
            failed = true;
            error = why;
            // What is still queued will never be written; its buffers are free again.
            while (!queued.empty()) {
                free.push_back(queued.front());
                queued.pop_front();
            }
        }
        changed.notify_all();
    }
}
