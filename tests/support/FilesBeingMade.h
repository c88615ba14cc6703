#pragma once

// Files our writers are making under names of their own, and another program at work on the names it knows:
// one that writes into the file at a name in place, as an editor, a sync tool or a copy of ours that no claim
// reaches would, making no file where there is none.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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

// The size of the largest file in folder, hidden ones too.
inline qint64 largestFileIn(const QString& folder) {
    qint64 largest = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        largest = std::max(largest, file.size());
    return largest;
}

// The files being made under names of their own beside path, to take its name once finished.
inline QStringList filesBeingMadeFor(const QString& path) {
    const QFileInfo target(path);
    return QDir(target.path()).entryList({"." + target.fileName() + ".part-*"}, QDir::Files | QDir::Hidden);
}

} // namespace test_support
