#pragma once

#include "render/FramePipeWriter.h"

#include <QString>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The frames of an export on their way into the pipe. A writer thread of its own writes one frame while
// the pump draws and reads back the next, so that drawing and the pipe's reader overlap instead of taking
// turns. Frames wait in a fixed number of buffers (the one being written and the one being filled), so
// memory stays bounded and a slow reader holds the pump back. A frame may be held bottom row first, as GL
// reads it; it leaves top row first, in the frame-pipe format. A pipe not yet open is opened by the first
// write.
//
// Every wait ends on the cancel test; a cancel drops the frames not written yet. A failed write (no reader in
// time, the reader gone, a cancel) is told by the next acquire() or by flush(), with the writer's message.
class FramePipeQueue {
public:
    FramePipeQueue(FramePipeWriter& writer, std::function<bool()> cancelled, int buffers = 2);
    // Writes the frames still queued (unless cancelled or failed) and joins the thread.
    ~FramePipeQueue();
    FramePipeQueue(const FramePipeQueue&) = delete;
    FramePipeQueue& operator=(const FramePipeQueue&) = delete;

    // A buffer of at least `bytes` to fill with the next frame; null when the writing has failed or the
    // wait for a free buffer was cancelled.
    unsigned char* acquire(std::size_t bytes);
    // Queues the buffer acquired last: `rows` rows of `rowBytes`, bottom row first when `bottomUp`.
    void submit(int rows, std::size_t rowBytes, bool bottomUp);
    // Waits until every queued frame is in the pipe. False when a write failed or the wait was cancelled.
    bool flush();
    QString errorString() const;

private:
    struct Frame {
        std::vector<unsigned char> bytes;
        int rows = 0;
        std::size_t rowBytes = 0;
        bool bottomUp = false;
    };

    void writeFrames();
    bool write(const Frame& frame);
    // Waits under the lock until done(); false when the cancel test says so first.
    bool waitUnlessCancelled(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done);

    FramePipeWriter& writer;
    std::function<bool()> cancelled;
    std::vector<Frame> frames;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::size_t> free;
    std::deque<std::size_t> queued; // written front first; a frame leaves the queue once it is written
    std::size_t filling = 0;
    bool failed = false;
    bool leaving = false;
    QString error;
    std::thread thread;
};
