#include "support/OpenWatch.h"

#include <QFile>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace test_support {

OpenWatch::OpenWatch(const QStringList& folders) : fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    for (const QString& folder : folders) {
        const int watch =
            fd < 0 ? -1 : ::inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_OPEN);
        if (watch < 0) {
            ::close(fd);
            fd = -1;
            return;
        }
        while (folderOfWatch.size() <= watch)
            folderOfWatch.append(QString());
        folderOfWatch[watch] = folder;
    }
}

OpenWatch::~OpenWatch() {
    if (fd >= 0)
        ::close(fd);
}

QStringList OpenWatch::opened() {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && !(event->mask & IN_ISDIR) && event->wd < folderOfWatch.size())
                seen << folderOfWatch[event->wd] + "/" + QFile::decodeName(event->name);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return seen;
}

FifoTrap::FifoTrap(const QString& path) : fifo(path) {
    made = ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (!made)
        return;
    writer = std::thread([this] {
        const QByteArray name = QFile::encodeName(fifo);
        while (!stopping) {
            // Succeeds only while a reader has the pipe open; closing it at once ends that reader's stream.
            const int end = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (end >= 0) {
                ::close(end);
                ++caught;
                std::this_thread::sleep_for(std::chrono::milliseconds(5)); // the reader sees its end first
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        }
    });
}

FifoTrap::~FifoTrap() {
    stopping = true;
    if (writer.joinable())
        writer.join();
}

} // namespace test_support
