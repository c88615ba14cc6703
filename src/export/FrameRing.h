#pragma once

#include "export/FramePipeReader.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// Frames read ahead from a frame pipe by a thread of their own, so that the pipe is emptied while the
// encoder converts and encodes the frame before, and a slow frame at either end (a photo loading, a busy
// transition, an encoder's key frame) is absorbed instead of stalling the other. Memory is bounded by the
// number of slots, each taking its memory when first filled. Every wait is a bounded poll between which
// the caller's stop test is asked.
class FrameRing {
public:
    // Reads from `reader`, which must be open and stay alive until the ring is stopped.
    FrameRing(FramePipeReader& reader, std::size_t slots);
    // The slots to read ahead for frames of `frameBytes`: as many as fit in a fixed budget, within bounds, so
    // that large frames do not take large memory.
    static std::size_t slotsFor(std::size_t frameBytes);
    // Stops the reading thread and joins it.
    ~FrameRing();
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // Starts reading; `checks` are asked between the reader's waits, as by FramePipeReader::readFrame.
    void start(FramePipeReader::Checks checks);
    // The next frame in *frame, valid until release(), with Status::Frame; otherwise the status that ended
    // the stream once every frame before it was taken (the reader's error in errorString()), or Stopped
    // when `stop` said so while waiting.
    FramePipeReader::Status next(const unsigned char** frame, const std::function<bool()>& stop);
    // Gives the slot of the frame from next() back for reading.
    void release();
    // Ends the reading thread within one wait and joins it; the frames not taken are dropped.
    void stop();
    QString errorString() const;
    int errorCode() const;

private:
    void readFrames(FramePipeReader::Checks checks);

    FramePipeReader& reader;
    std::vector<std::vector<unsigned char>> buffers;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::size_t> free;
    std::deque<std::size_t> filled;
    bool ended = false;
    bool stopping = false;
    FramePipeReader::Status end = FramePipeReader::Status::EndOfStream;
    QString error;
    int code = 0;
    std::thread thread;
};
