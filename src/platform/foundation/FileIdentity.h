#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {

// Which file a name stands for, and how it was when looked at: a file put in another's place, or one written
// again since, no longer compares equal. For telling a file of ours from one that took its name.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    // Changes with every write and every change of the file's attributes, and cannot be set back: a program
    // that restores the modification time after writing is still seen.
    qint64 changedSeconds = 0;
    qint64 changedNanoseconds = 0;

    // The regular file at path itself, a link never followed; nothing for anything else or nothing at all.
    static std::optional<FileIdentity> ofPath(const QString& path);
    // The regular file open at fd.
    static std::optional<FileIdentity> ofDescriptor(int fd);

    // The same file, however it has been written since.
    bool sameFile(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileIdentity&) const = default;
};

} // namespace platform

// Carried in a notification's user info.
Q_DECLARE_METATYPE(platform::FileIdentity)
