#pragma once

// Files our writers are making under names of their own, and another program at work on the names it knows:
// one that writes into the file at a name in place, as an editor, a sync tool or a copy of ours that no claim
// reaches would, making no file where there is none.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace test_support {

// Overwrites all but the first and last 4 KiB of the regular file at path with junk; whether there was a file
// to write into.
inline bool writeIntoInPlace(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    constexpr off_t kKept = 4096;
    if (regular && st.st_size > 2 * kKept) {
        const QByteArray junk(qsizetype(st.st_size - 2 * kKept), '\x5a');
        [[maybe_unused]] const ssize_t wrote =
            ::pwrite(fd, junk.constData(), std::size_t(junk.size()), kKept);
    }
    ::close(fd);
    return regular;
}

// Each descriptor this process has open, as its path under /proc/self/fd and what it leads to (a removed
// file's name followed by " (deleted)").
inline QList<std::pair<QString, QString>> openDescriptors() {
    QList<std::pair<QString, QString>> open;
    const QDir descriptors("/proc/self/fd");
    for (const QString& fd : descriptors.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t length =
            ::readlink(QFile::encodeName(descriptors.filePath(fd)).constData(), target, sizeof target - 1);
        if (length > 0)
            open.append({descriptors.filePath(fd), QFile::decodeName(QByteArray(target, length))});
    }
    return open;
}

// The unnamed files this process has open in folder, by the names the system shows for them
// ("#<number> (deleted)"), each with the descriptor path that reaches it.
inline QList<std::pair<QString, QString>> unnamedFilesIn(const QString& folder) {
    const QString prefix = QFileInfo(folder).canonicalFilePath() + "/";
    QList<std::pair<QString, QString>> found;
    for (const auto& [descriptor, name] : openDescriptors())
        if (name.startsWith(prefix + "#") && name.endsWith(" (deleted)") &&
            !name.mid(prefix.size()).contains('/'))
            found.append({name.mid(prefix.size()), descriptor});
    return found;
}

inline QStringList unnamedFilesOpenIn(const QString& folder) {
    QStringList names;
    for (const auto& [name, descriptor] : unnamedFilesIn(folder))
        names << name;
    names.removeDuplicates();
    return names;
}

// The descriptors of this process that lead to the file at path, a FIFO or a folder included (readers and
// writers that go on through "/proc/<pid>/fd/<n>" rather than by the name).
inline QList<int> descriptorsOf(const QString& path) {
    QList<int> found;
    for (const auto& [descriptor, name] : openDescriptors())
        if (name == path)
            found.append(QFileInfo(descriptor).fileName().toInt());
    return found;
}

// What this process's descriptors lead to inside folder (the folder itself included), files since removed
// too ("<path> (deleted)"): the files and folders something here still holds open.
inline QStringList descriptorsInside(const QString& folder) {
    const QString root = QFileInfo(folder).canonicalFilePath();
    QStringList held;
    for (const auto& [descriptor, name] : openDescriptors())
        if (name == root || name.startsWith(root + "/"))
            held << name;
    return held;
}

// The size of the largest file in folder, hidden ones and unnamed ones being made too.
inline qint64 largestFileIn(const QString& folder) {
    qint64 largest = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        largest = std::max(largest, file.size());
    for (const auto& [name, descriptor] : unnamedFilesIn(folder))
        largest = std::max(largest, QFileInfo(descriptor).size());
    return largest;
}

// The files being made beside path, to take its name once finished: under hidden names of their own, or
// unnamed (open in this process) where the file system has unnamed files.
inline QStringList filesBeingMadeFor(const QString& path) {
    const QFileInfo target(path);
    return QDir(target.path()).entryList({"." + target.fileName() + ".part-*"}, QDir::Files | QDir::Hidden) +
           unnamedFilesOpenIn(target.path());
}

} // namespace test_support
