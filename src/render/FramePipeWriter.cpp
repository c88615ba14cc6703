#include "render/FramePipeWriter.h"
#include "platform/gl/DriverLock.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/NamedPipe.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

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
    platform::gl::DriverLock::checkFreeToWait("the frame pipe's reader");
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
    platform::gl::DriverLock::checkFreeToWait("room in the frame pipe");
    std::vector<iovec> pieces{{const_cast<void*>(data), length}};
    return writeVectors(pieces);
}

bool FramePipeWriter::writeFrameBottomUp(const void* data, int rows, std::size_t rowBytes) {
    platform::gl::DriverLock::checkFreeToWait("room in the frame pipe");
    std::vector<iovec> pieces(std::size_t(std::max(rows, 0)));
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    for (int row = 0; row < rows; ++row)
        pieces[std::size_t(row)] = {bytes + std::size_t(rows - 1 - row) * rowBytes, rowBytes};
    return writeVectors(pieces);
}

bool FramePipeWriter::writeVectors(std::vector<iovec>& pieces) {
    platform::ignoreSigpipe();
    if (!fd)
        return fail(QStringLiteral("The pipe is not open"), EBADF);
    const double deadline = writeTimeout > 0.0 ? now() + writeTimeout : 0.0;
    std::size_t next = 0;
    while (next < pieces.size() && pieces[next].iov_len == 0)
        ++next;
    while (next < pieces.size()) {
        const int count = int(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
        const ssize_t written = ::writev(fd.get(), &pieces[next], count);
        if (written > 0) {
            // Past the pieces written whole, into the one written in part.
            for (std::size_t left = std::size_t(written); left > 0;) {
                const std::size_t taken = std::min(left, pieces[next].iov_len);
                pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + taken;
                pieces[next].iov_len -= taken;
                left -= taken;
                if (pieces[next].iov_len == 0)
                    ++next;
            }
            while (next < pieces.size() && pieces[next].iov_len == 0)
                ++next;
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
