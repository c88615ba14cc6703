#include "app/CacheFolderUse.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace {

// Not the one-copy claim's name: where there is no cache folder of its own, the runtime folder stands in.
const QString kLockName = QStringLiteral("vistrelle-copies.lock");

int lockFile(int fd, int operation) {
    int result = 0;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

CacheFolderUse::CacheFolderUse(const QString& folder)
    : lockPath(folder.isEmpty() ? QString() : QDir(folder).filePath(kLockName)) {}

bool CacheFolderUse::removeLeftoversWhenAlone(const std::function<void()>& removal) {
    if (lockPath.isEmpty() || lock.isValid())
        return false;
    lock.reset(
        ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.isValid())
        return false;
    const bool alone = lockFile(lock.get(), LOCK_EX | LOCK_NB) == 0;
    if (alone && removal)
        removal();
    // Waits only while a copy starting at the same moment removes what ended copies left.
    lockFile(lock.get(), LOCK_SH);
    return alone;
}
