#include "app/LockFile.h"

#include "platform/foundation/StringTable.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lock_file {
namespace {

// Read and write: a lock over NFS is a POSIX lock underneath, and an exclusive one needs a writable file.
constexpr int kOpenFlags = O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

platform::UniqueFd regularFile(platform::UniqueFd fd) {
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return fd;
}

// Invalid, with why in *obstacle.
platform::UniqueFd inTheWay(QString* obstacle, const QString& why, int error = 0) {
    if (obstacle)
        *obstacle = error == 0 ? why : why.arg(QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

// Replaces what is neither a file nor a folder at the name by a new file. Two starts that both found the name
// taken must not each remove the other's new file and both run: the folder's own lock lets one repair at a
// time, and the name is looked at again under it.
platform::UniqueFd replaceEntry(const QString& path, QString* obstacle) {
    const QFileInfo at(path);
    const platform::UniqueFd folder(
        ::open(QFile::encodeName(at.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || !tryLock(folder.get(), LOCK_EX)) {
        const int reason = errno;
        if (reason == EWOULDBLOCK)
            return {};
        return inTheWay(obstacle, tr_("it is not a file, and it cannot be replaced (%1)"), reason);
    }
    const QByteArray name = QFile::encodeName(at.fileName());
    struct stat st {};
    const bool found = ::fstatat(folder.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (found && S_ISDIR(st.st_mode))
        return inTheWay(obstacle, tr_("it is a folder"));
    if (found && !S_ISREG(st.st_mode) && ::unlinkat(folder.get(), name.constData(), 0) != 0)
        return inTheWay(obstacle, tr_("it is not a file, and it cannot be replaced (%1)"), errno);
    platform::UniqueFd made(::openat(folder.get(), name.constData(), kOpenFlags | O_EXCL, 0600));
    if (!made && errno == EEXIST) // another start made it meanwhile
        made.reset(::openat(folder.get(), name.constData(), kOpenFlags, 0600));
    if (!made)
        return inTheWay(obstacle, tr_("it cannot be made (%1)"), errno);
    return regularFile(std::move(made));
}

} // namespace

platform::UniqueFd open(const QString& path, QString* obstacle) {
    if (obstacle)
        obstacle->clear();
    if (path.isEmpty()) {
        errno = ENOENT;
        return {};
    }
    const QByteArray name = QFile::encodeName(path);
    platform::UniqueFd file = regularFile(platform::UniqueFd(::open(name.constData(), kOpenFlags, 0600)));
    const int openError = errno;
    if (file)
        return file;
    // What stood at the name may have been replaced by another start since: its new file is then ours to open
    // too, under the folder's lock as the other start made it.
    struct stat st {};
    const bool found = ::lstat(name.constData(), &st) == 0;
    if (!found && (errno != ENOENT || openError == ENOENT)) { // nowhere to make it
        errno = openError;
        return {};
    }
    if (found && S_ISREG(st.st_mode)) {
        file = regularFile(platform::UniqueFd(::open(name.constData(), kOpenFlags, 0600)));
        return file ? std::move(file) : inTheWay(obstacle, tr_("it cannot be opened (%1)"), errno);
    }
    return replaceEntry(path, obstacle);
}

bool tryLock(int fd, int operation) {
    int result = 0;
    do
        result = ::flock(fd, operation | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace lock_file
