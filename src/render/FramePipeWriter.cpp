#include "render/FramePipeWriter.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/NamedPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr int kPollMilliseconds = 50;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

bool FramePipeWriter::fail(const QString& message, int errnoValue) {
    error = message;
    code = errnoValue;
    return false;
}

bool FramePipeWriter::open() {
    if (fd)
        return true;
    error.clear();
    code = 0;
    const double deadline = openTimeout > 0.0 ? now() + openTimeout : 0.0;
    bool gaveUp = false;
    const auto keepWaiting = [&] {
        gaveUp = (cancelled && cancelled()) || (deadline > 0.0 && now() >= deadline);
        return !gaveUp;
    };
    QString message;
    fd = platform::NamedPipe::openForWriting(pipePath, &message, keepWaiting);
    if (!fd) {
        const bool wasCancelled = gaveUp && cancelled && cancelled();
        return fail(wasCancelled
                        ? QStringLiteral("The export was cancelled while waiting for the reader of \"%1\"")
                              .arg(pipePath)
                        : message,
                    gaveUp ? 0 : errno);
    }
    // Writes wait in poll, where the cancel test can be asked, rather than blocked in write.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
    return true;
}

bool FramePipeWriter::waitForRoom(double deadline) {
    for (;;) {
        if (cancelled && cancelled())
            return fail(QStringLiteral("The export was cancelled while the pipe was full"), 0);
        if (deadline > 0.0 && now() >= deadline)
            return fail(QStringLiteral("The reader of the pipe took no data in time"), 0);
        pollfd waiting{fd.get(), POLLOUT, 0};
        const int ready = ::poll(&waiting, 1, kPollMilliseconds);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return true; // the next write tells what happened
    }
}

bool FramePipeWriter::writeFrame(const void* data, std::size_t length) {
    platform::ignoreSigpipe();
    if (!fd)
        return fail(QStringLiteral("The pipe is not open"), EBADF);
    const char* next = static_cast<const char*>(data);
    const double deadline = writeTimeout > 0.0 ? now() + writeTimeout : 0.0;
    while (length > 0) {
        const ssize_t written = ::write(fd.get(), next, length);
        if (written > 0) {
            next += written;
            length -= std::size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitForRoom(deadline))
                return false;
            continue;
        }
        const int failure = errno;
        return fail(failure == EPIPE
                        ? QStringLiteral("The reader of the pipe has gone away")
                        : QStringLiteral("Cannot write into the pipe: %1").arg(qt_error_string(failure)),
                    failure);
    }
    return true;
}
