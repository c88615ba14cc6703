#pragma once

// Watching which files get opened, for tests that a program opens nothing it must not: the files opened in
// given folders (inotify, which reports opens but not a look with stat), and named pipes that let any
// reader go at once, so that a reader that would block on one for good is counted instead of hanging.

#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

namespace test_support {

// The files opened in the watched folders (not in their subfolders) since the watch began.
class OpenWatch {
public:
    explicit OpenWatch(const QStringList& folders);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool isValid() const { return fd >= 0; }
    // "<folder>/<name>" of every open of a file so far, in order, one entry per open; folders left out.
    QStringList opened();

private:
    int fd = -1;
    QStringList folderOfWatch; // by watch descriptor
    QStringList seen;
};

// A named pipe at path whose writing end is opened again and again without blocking: a reader that opens
// it is answered at once with an empty stream, and is counted.
class FifoTrap {
public:
    explicit FifoTrap(const QString& path);
    ~FifoTrap();
    FifoTrap(const FifoTrap&) = delete;
    FifoTrap& operator=(const FifoTrap&) = delete;

    bool isValid() const { return made; }
    QString path() const { return fifo; }
    // The readers found with the pipe open so far.
    int readers() const { return caught.load(); }

private:
    QString fifo;
    bool made = false;
    std::atomic<bool> stopping{false};
    std::atomic<int> caught{0};
    std::thread writer;
};

} // namespace test_support
