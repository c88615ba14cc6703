#pragma once

#include "platform/gl/GlApi.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::gl {
class Context;
}
class FramePipeQueue;

// Reads drawn frames back on a thread and a context of its own, so that the drawing thread goes on to the
// next frame while the rasteriser finishes this one. A software rasteriser otherwise idles while the drawing
// thread prepares a frame, and the drawing thread idles while the frame is rasterised, since a read-back
// waits for every pass before it. Here the drawing thread only fences the frame; the read-back thread waits
// for the fence, reads the target's texture as it is (bottom row first) and hands it to the pipe's queue.
//
// The drawing thread must not draw into a target again before it has been read: readUpTo() waits for the
// number submit() gave. Every wait ends on the cancel test; after a failure nothing more is read and every
// call answers false, with errorString().
class FrameReadBack {
public:
    // Makes a context sharing with `drawing` (throws GlError when it cannot be made).
    FrameReadBack(const platform::gl::Context& drawing, FramePipeQueue& queue,
                  std::function<bool()> cancelled);
    // Reads the frames still queued (unless cancelled or failed) and joins the thread.
    ~FrameReadBack();
    FrameReadBack(const FrameReadBack&) = delete;
    FrameReadBack& operator=(const FrameReadBack&) = delete;

    // On the drawing thread, its context current, once the frame is drawn into `texture` (`width` x `height`,
    // stored BGRA): fences the frame and queues it. Answers the frame's number, or 0 after a failure.
    std::uint64_t submit(GLuint texture, int width, int height);
    // Waits until frame `number` (and every frame before it) has gone to the pipe's queue.
    bool readUpTo(std::uint64_t number);
    // Waits until every submitted frame has.
    bool flush();
    QString errorString() const;

private:
    struct Job {
        GLsync fence = nullptr;
        GLuint texture = 0;
        int width = 0;
        int height = 0;
    };

    void readFrames();
    bool read(const Job& job);
    bool waitForFence(GLsync fence);
    void fail(const QString& why);

    std::unique_ptr<platform::gl::Context> context;
    FramePipeQueue& queue;
    std::function<bool()> cancelled;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::uint64_t submitted = 0;
    std::uint64_t read_ = 0;
    bool failed = false;
    bool leaving = false;
    QString error;
    std::thread thread;
};
