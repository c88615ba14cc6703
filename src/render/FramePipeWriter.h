#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <vector>

#include <sys/uio.h>

// The writing end of a frame pipe: the named pipe through which an export hands its raw frames to the
// encoder (frames of width x height x 4 bytes, blue, green, red, alpha, rows top to bottom, no header; the
// stream ends when the writer closes the pipe).
//
// It never waits for ever and never takes a failure for success: the open waits for the reader without
// blocking, asking the cancel test between short waits, up to a time-out; a write goes on across partial
// writes and interruptions until the whole frame is in, asking the cancel test while the pipe is full; a
// reader that has gone is an error (EPIPE; the broken-pipe signal is ignored), not the end of the process.
class FramePipeWriter {
public:
    FramePipeWriter() = default;
    FramePipeWriter(const FramePipeWriter&) = delete;
    FramePipeWriter& operator=(const FramePipeWriter&) = delete;

    void setPath(const QString& path) { pipePath = path; }
    QString path() const { return pipePath; }
    // Asked while waiting for a reader or for room in the pipe; true gives up.
    void setCancelled(std::function<bool()> test) { cancelled = std::move(test); }
    // How long the open waits for a reader; 0 or less waits until cancelled.
    void setOpenTimeout(double seconds) { openTimeout = seconds; }
    // How long one frame may wait for room in the pipe; 0 or less waits until cancelled (a slow encoder is
    // the normal pace of an export).
    void setWriteTimeout(double seconds) { writeTimeout = seconds; }

    // Opens the pipe for writing once a reader has opened it. False with errorString() set when the path
    // cannot be opened, no reader came in time, or the wait was cancelled.
    bool open();
    bool isOpen() const { return fd.isValid(); }
    int descriptor() const { return fd.get(); }
    // Writes all of the frame. False with errorString() set on any failure: the reader went away (EPIPE),
    // the pipe stayed full past the write time-out, the wait was cancelled, or the pipe is not open.
    bool writeFrame(const void* data, std::size_t length);
    // Writes a frame held bottom row first (as GL reads it back) top row first, without reordering it in
    // memory: `rows` rows of `rowBytes` each. Fails as writeFrame does.
    bool writeFrameBottomUp(const void* data, int rows, std::size_t rowBytes);
    // Closes the pipe: the reader sees the end of the stream.
    void close() { fd.reset(); }

    QString errorString() const { return error; }
    // The errno of the failure, 0 for a time-out or a cancel.
    int errorCode() const { return code; }

private:
    bool fail(const QString& message, int errnoValue);
    bool waitForRoom(double deadline);
    bool writeVectors(std::vector<iovec>& pieces);

    QString pipePath;
    std::function<bool()> cancelled;
    double openTimeout = 60.0;
    double writeTimeout = 0.0;
    platform::UniqueFd fd;
    QString error;
    int code = 0;
};
