#pragma once

#include "platform/foundation/UniqueFd.h"

#include <QString>

#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace platform {

// A FIFO in the file system that exists as long as this object does.
class NamedPipe {
public:
    NamedPipe() = default;
    ~NamedPipe();
    NamedPipe(NamedPipe&& other) noexcept;
    NamedPipe& operator=(NamedPipe&& other) noexcept;
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // Makes a FIFO (mode 0600) at path. A FIFO or regular file of ours already there is a leftover of an
    // earlier run and is replaced; anything else there is refused.
    bool create(const QString& path, QString* error = nullptr);
    // Removes the FIFO, unless what is at the path now is no longer the one we made.
    void remove();
    QString path() const { return m_path; }
    // The name through which readers and writers reach the FIFO made here, whatever has since taken (or
    // removed) path(): "/proc/<pid>/fd/<n>" of a descriptor that is neither a reader nor a writer, so that
    // ends of the pipe are seen as they come and go. Without /proc, path() itself. Empty before create().
    QString reachablePath() const;
    bool isCreated() const { return m_created; }

    // Opens a FIFO for writing, waiting for a reader; anything but a FIFO at path is refused. With
    // keepWaiting, asks it between short waits and gives up when it says no (the reader may never come when
    // its process failed to start).
    static UniqueFd openForWriting(const QString& path, QString* error = nullptr,
                                   const std::function<bool()>& keepWaiting = {});
    // Opens a FIFO for reading, waiting for a writer; anything but a FIFO at path is refused.
    static UniqueFd openForReading(const QString& path, QString* error = nullptr);

private:
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_created = false;
    UniqueFd m_handle; // the FIFO made here, held without opening either end
};

// Writes all of data, going round partial writes, interruptions and full non-blocking pipes. False with
// a message (and errno kept) on failure; a reader that went away gives EPIPE, not a fatal signal.
bool writeFully(int fd, const void* data, std::size_t length, QString* error = nullptr);

} // namespace platform
