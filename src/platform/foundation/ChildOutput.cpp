#include "platform/foundation/ChildOutput.h"

#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

namespace platform {
namespace {

// Taken lines are dropped from the front in large steps, so that reading many short lines stays linear.
constexpr qsizetype compactionThreshold = 1 << 20;

} // namespace

ChildOutput::~ChildOutput() {
    stop();
}

bool ChildOutput::start(UniqueFd out, UniqueFd err, QString* error) {
    if (!out && !err)
        return true;
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC) != 0) {
        if (error)
            *error = QStringLiteral("Cannot read the output: %1").arg(qt_error_string(errno));
        return false;
    }
    m_wakeRead.reset(wake[0]);
    m_wakeWrite.reset(wake[1]);
    m_streams[0].open = out.isValid();
    m_streams[0].fd = std::move(out);
    m_streams[1].open = err.isValid();
    m_streams[1].fd = std::move(err);
    try {
        m_thread = std::thread([this] { drain(); });
    } catch (const std::system_error& failure) {
        for (Stream& stream : m_streams)
            close(stream);
        if (error)
            *error = QStringLiteral("Cannot read the output: %1").arg(QString::fromLocal8Bit(failure.what()));
        return false;
    }
    return true;
}

void ChildOutput::stop() {
    if (!m_thread.joinable())
        return;
    const char wake = 1;
    while (::write(m_wakeWrite.get(), &wake, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
}

void ChildOutput::drain() {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        pollfd fds[3];
        Stream* owners[2];
        nfds_t count = 0;
        for (Stream& stream : m_streams) {
            if (stream.fd) {
                fds[count] = {stream.fd.get(), POLLIN, 0};
                owners[count++] = &stream;
            }
        }
        if (count == 0)
            return;
        fds[count] = {m_wakeRead.get(), POLLIN, 0};
        if (::poll(fds, count + 1, -1) < 0 && errno != EINTR)
            break;
        if (fds[count].revents != 0)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents != 0)
                pump(*owners[i], buffer.data(), buffer.size());
        }
    }
    for (Stream& stream : m_streams)
        close(stream);
}

bool ChildOutput::pump(Stream& stream, char* buffer, std::size_t size) {
    const ssize_t got = ::read(stream.fd.get(), buffer, size);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (got <= 0) {
        close(stream);
        return false;
    }
    bool full = false;
    {
        std::lock_guard lock(m_mutex);
        const qsizetype room = m_limit > 0 ? m_limit - stream.received : qsizetype(got);
        const qsizetype kept = std::min(qsizetype(got), room);
        stream.data.append(buffer, kept);
        stream.received += kept;
        full = kept < got;
        stream.overflowed = stream.overflowed || full;
    }
    if (full) {
        close(stream);
        return false;
    }
    m_changed.notify_all();
    return true;
}

void ChildOutput::close(Stream& stream) {
    stream.fd.reset();
    {
        std::lock_guard lock(m_mutex);
        stream.open = false;
    }
    m_changed.notify_all();
}

QByteArray ChildOutput::takeAll(Stream& stream) {
    QByteArray rest = stream.data.mid(stream.offset);
    stream.data.clear();
    stream.offset = stream.scanned = 0;
    return rest;
}

std::optional<QByteArray> ChildOutput::readLine() {
    std::unique_lock lock(m_mutex);
    Stream& stream = m_streams[0];
    for (;;) {
        const qsizetype newline = stream.data.indexOf('\n', stream.scanned);
        if (newline >= 0) {
            QByteArray line = stream.data.mid(stream.offset, newline - stream.offset);
            stream.offset = stream.scanned = newline + 1;
            if (stream.offset >= compactionThreshold && stream.offset * 2 >= stream.data.size()) {
                stream.data.remove(0, stream.offset);
                stream.offset = stream.scanned = 0;
            }
            return line;
        }
        stream.scanned = stream.data.size();
        if (!stream.open)
            return stream.offset < stream.data.size() ? std::optional(takeAll(stream)) : std::nullopt;
        m_changed.wait(lock);
    }
}

QByteArray ChildOutput::readAll() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_streams[0].open; });
    return takeAll(m_streams[0]);
}

bool ChildOutput::outputClosed() {
    std::lock_guard lock(m_mutex);
    return !m_streams[0].open;
}

bool ChildOutput::overflowed() {
    std::lock_guard lock(m_mutex);
    return m_streams[0].overflowed || m_streams[1].overflowed;
}

QByteArray ChildOutput::readAllStderr() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_streams[1].open; });
    return takeAll(m_streams[1]);
}

} // namespace platform
