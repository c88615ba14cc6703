#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::disc {

// A recorder as the drive scan reports it.
struct DriveInfo {
    QString address; // what DiscDrive::open() takes, e.g. "/dev/sr0"
    QString vendor;
    QString product;
    QString revision;
};

// The process's session with the disc-recording library (libburn).
//
// The session starts with the first acquire() and ends, releasing the library, when the last handle goes.
// Every open drive holds a handle, so the session never ends under a drive or a burn; the application holds
// one for its whole run so that the library starts once.
//
// Thread safety: the library's global state (its drive table, its message queue) is not safe to use from
// two threads at once, so every call into it from this layer is made under lock(). Its messages are never
// printed; they are drained into a process-wide log from which each operation takes those that came
// after a mark it set. The library tells the end of its writer thread only through a process-wide message,
// so burns in one process take turns (acquireWriter): a burn knows its writer is gone before it reports.
class DiscLibrary {
    struct Key {
        explicit Key() = default;
    };

public:
    static std::shared_ptr<DiscLibrary> acquire(QString* error = nullptr);

    explicit DiscLibrary(Key);
    ~DiscLibrary();
    DiscLibrary(const DiscLibrary&) = delete;
    DiscLibrary& operator=(const DiscLibrary&) = delete;

    // The recorders of this machine (none is an empty list and success). Refused while a drive is open,
    // because the library cannot scan then.
    bool listDrives(std::vector<DriveInfo>* drives, QString* error = nullptr);
    int openDriveCount() const;

    // For this layer's own use.
    static std::unique_lock<std::mutex> lock();
    static void pumpMessages(); // drains the library's queue into the log; call under no lock
    static std::uint64_t messageMark();
    static QStringList messagesSince(std::uint64_t mark); // severity "SORRY" and above, oldest first
    static QString explained(const QString& message, const QStringList& messages); // "message (m1; m2)"
    static bool acquireWriter(const std::function<bool()>& abandon); // false when abandon() said so
    static void releaseWriter();
    static std::uint64_t writersEnded();
    static bool waitForWriterEnd(std::uint64_t endedBefore, std::chrono::milliseconds timeout);

private:
    friend class DiscDrive;
    void driveOpened();
    void driveClosed();
};

} // namespace platform::disc
