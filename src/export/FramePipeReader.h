#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>

// The reading end of a frame pipe: raw frames of a fixed size, no header, ended by the writer's close.
// The pipe is opened without waiting for a writer, and every wait is a poll of bounded length between
// which the caller is asked whether to go on, so that neither a writer that never comes nor one that
// stops writing can hold the reader for ever.
class FramePipeReader {
public:
    enum class Status {
        Frame,       // a whole frame is in the buffer
        EndOfStream, // the writer closed the pipe at a frame boundary, or ended without ever opening it
        Stopped,     // the caller's stop check said so
        Failed,      // see errorString() and errorCode()
    };
    // Asked between waits. `stop`: give up now. `writerEnded`: the writer will not come back, so a pipe
    // without data means the end of the stream.
    struct Checks {
        std::function<bool()> stop;
        std::function<bool()> writerEnded;
    };

    static constexpr std::chrono::milliseconds kDefaultWait{100};

    explicit FramePipeReader(std::size_t frameBytes, std::chrono::milliseconds wait = kDefaultWait);
    FramePipeReader(const FramePipeReader&) = delete;
    FramePipeReader& operator=(const FramePipeReader&) = delete;

    // False, with errorCode() and errorString(), when the pipe cannot be opened.
    bool open(const QString& path);
    bool isOpen() const { return fd.isValid(); }
    void close() { fd.reset(); }
    // Hands the descriptor over (to a drain that empties the pipe); the reader is closed afterwards.
    platform::UniqueFd takeDescriptor() { return std::move(fd); }

    // Fills buffer, which holds frameBytes(), with the next frame. Interrupted calls are repeated; any
    // other read error, and a stream that ends inside a frame, is a failure.
    Status readFrame(unsigned char* buffer, const Checks& checks);

    std::size_t frameBytes() const { return bytesPerFrame; }
    int errorCode() const { return code; }
    QString errorString() const { return message; }

private:
    enum class Wait { Readable, Stop, WriterGone, Failed };
    Wait waitForData(const Checks& checks);
    Status fail(int error, const QString& text);

    std::size_t bytesPerFrame;
    std::chrono::milliseconds wait;
    platform::UniqueFd fd;
    int code = 0;
    QString message;
};
