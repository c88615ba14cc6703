#include "export/FramePipeReader.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

FramePipeReader::FramePipeReader(std::size_t frameBytes, std::chrono::milliseconds wait)
    : bytesPerFrame(frameBytes), wait(wait) {}

bool FramePipeReader::open(const QString& path) {
    fd.reset();
    code = 0;
    message.clear();
    // Non-blocking, so that the open never waits for a writer; until one has come, the pipe polls as
    // empty rather than as ended.
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        fd.reset(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.isValid())
            return true;
        if (errno != EINTR) {
            fail(errno, QStringLiteral("Cannot open the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
            return false;
        }
    }
}

FramePipeReader::Status FramePipeReader::fail(int error, const QString& text) {
    code = error;
    message = text;
    return Status::Failed;
}

FramePipeReader::Wait FramePipeReader::waitForData(const Checks& checks) {
    for (;;) {
        pollfd waiting{fd.get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, int(wait.count()));
        if (ready > 0)
            return Wait::Readable; // data, the writer's close (POLLHUP) or an error the read will tell
        if (ready < 0 && errno != EINTR) {
            fail(errno, QStringLiteral("Cannot wait for the pipe: %1").arg(qt_error_string(errno)));
            return Wait::Failed;
        }
        if (checks.stop && checks.stop())
            return Wait::Stop;
        // The writer's end is asked only after an empty wait, so that what it wrote before it ended is
        // still read.
        if (ready == 0 && checks.writerEnded && checks.writerEnded())
            return Wait::WriterGone;
    }
}

FramePipeReader::Status FramePipeReader::readFrame(unsigned char* buffer, const Checks& checks) {
    if (!fd.isValid())
        return fail(EBADF, QStringLiteral("The pipe is not open"));
    std::size_t got = 0;
    while (got < bytesPerFrame) {
        // Wait first: before a writer has come, a read of the pipe answers 0 as if the stream had ended.
        switch (waitForData(checks)) {
        case Wait::Readable:
            break;
        case Wait::Stop:
            return Status::Stopped;
        case Wait::WriterGone:
            if (got == 0)
                return Status::EndOfStream;
            return fail(0, QStringLiteral("The frame writer ended %1 bytes into a frame of %2 bytes")
                               .arg(got)
                               .arg(bytesPerFrame));
        case Wait::Failed:
            return Status::Failed;
        }
        const ssize_t count = ::read(fd.get(), buffer + got, bytesPerFrame - got);
        if (count > 0) {
            got += std::size_t(count);
            continue;
        }
        if (count == 0 && got == 0)
            return Status::EndOfStream;
        if (count == 0)
            return fail(0, QStringLiteral("The frame stream ended %1 bytes into a frame of %2 bytes")
                               .arg(got)
                               .arg(bytesPerFrame));
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(errno, QStringLiteral("Cannot read the pipe: %1").arg(qt_error_string(errno)));
    }
    return Status::Frame;
}
