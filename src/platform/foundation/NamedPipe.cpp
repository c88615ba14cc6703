#include "platform/foundation/NamedPipe.h"

#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {
namespace {

// Big pipes let an encoder read whole frames per wake-up; the kernel caps unprivileged sizes, so a
// refusal only costs speed.
constexpr int preferredPipeSize = 1 << 20;

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

// A FIFO opened by its name, sized; anything else that has taken the name is closed unread and unwritten.
UniqueFd prepared(UniqueFd fd, const QString& path, QString* error) {
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
        fail(error, QStringLiteral("Cannot open the pipe \"%1\": another file took its name").arg(path));
        return {};
    }
    ::fcntl(fd.get(), F_SETPIPE_SZ, preferredPipeSize);
    return fd;
}

} // namespace

NamedPipe::~NamedPipe() {
    remove();
}

NamedPipe::NamedPipe(NamedPipe&& other) noexcept
    : m_path(std::move(other.m_path)), m_device(other.m_device), m_inode(other.m_inode),
      m_created(std::exchange(other.m_created, false)), m_handle(std::move(other.m_handle)) {}

NamedPipe& NamedPipe::operator=(NamedPipe&& other) noexcept {
    if (this != &other) {
        remove();
        m_path = std::move(other.m_path);
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_created = std::exchange(other.m_created, false);
        m_handle = std::move(other.m_handle);
    }
    return *this;
}

bool NamedPipe::create(const QString& path, QString* error) {
    ignoreSigpipe();
    remove();
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        // A link standing at the name is removed like a leftover, never followed.
        const bool stale =
            (S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && st.st_uid == ::geteuid();
        if (!stale)
            return fail(error,
                        QStringLiteral("Cannot make the pipe \"%1\": something else is there").arg(path));
        if (::unlink(name.constData()) != 0 && errno != ENOENT)
            return fail(
                error,
                QStringLiteral("Cannot remove the old pipe \"%1\": %2").arg(path, qt_error_string(errno)));
    } else if (errno != ENOENT) {
        return fail(error,
                    QStringLiteral("Cannot make the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
    }
    if (::mkfifo(name.constData(), 0600) != 0)
        return fail(error,
                    QStringLiteral("Cannot make the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
    // Held from here on: whoever opens an end goes through this descriptor, never through the name again.
    UniqueFd handle(::open(name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!handle)
        return fail(error,
                    QStringLiteral("Cannot make the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
    if (::fstat(handle.get(), &st) != 0 || !S_ISFIFO(st.st_mode) || st.st_uid != ::geteuid())
        return fail(error,
                    QStringLiteral("Cannot make the pipe \"%1\": another file took its name").arg(path));
    m_handle = std::move(handle);
    m_path = path;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_created = true;
    return true;
}

QString NamedPipe::reachablePath() const {
    if (!m_handle)
        return QString();
    // Without /proc only the name is left; what opens it by that name opens nothing but a FIFO.
    return descriptorPathReaches(m_handle.get()) ? descriptorPath(m_handle.get()) : m_path;
}

void NamedPipe::remove() {
    if (!std::exchange(m_created, false))
        return;
    m_handle.reset();
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    // Inode numbers are reused at once, so the type has to match as well.
    if (::lstat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode) && st.st_dev == m_device &&
        st.st_ino == m_inode)
        ::unlink(name.constData());
}

UniqueFd NamedPipe::openForWriting(const QString& path, QString* error,
                                   const std::function<bool()>& keepWaiting) {
    ignoreSigpipe();
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_WRONLY | O_CLOEXEC | (keepWaiting ? O_NONBLOCK : 0);
    for (;;) {
        UniqueFd fd(::open(name.constData(), flags));
        if (fd) {
            if (keepWaiting)
                ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
            return prepared(std::move(fd), path, error);
        }
        if (errno == EINTR)
            continue;
        // ENXIO: a non-blocking open of a FIFO that has no reader yet.
        if (errno != ENXIO || !keepWaiting) {
            fail(error, QStringLiteral("Cannot open the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
            return {};
        }
        if (!keepWaiting()) {
            fail(error, QStringLiteral("Nobody came to read the pipe \"%1\"").arg(path));
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

UniqueFd NamedPipe::openForReading(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        UniqueFd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC));
        if (fd)
            return prepared(std::move(fd), path, error);
        if (errno != EINTR) {
            fail(error, QStringLiteral("Cannot open the pipe \"%1\": %2").arg(path, qt_error_string(errno)));
            return {};
        }
    }
}

bool writeFully(int fd, const void* data, std::size_t length, QString* error) {
    ignoreSigpipe();
    const char* next = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, next, length);
        if (written >= 0) {
            next += written;
            length -= std::size_t(written);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd waiting{fd, POLLOUT, 0};
            ::poll(&waiting, 1, -1);
            continue;
        }
        const int code = errno;
        fail(error, code == EPIPE ? QStringLiteral("The reader of the pipe has gone away")
                                  : QStringLiteral("Cannot write: %1").arg(qt_error_string(code)));
        errno = code;
        return false;
    }
    return true;
}

} // namespace platform
