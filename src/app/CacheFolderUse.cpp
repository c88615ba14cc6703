#include "app/CacheFolderUse.h"

#include "app/LockFile.h"

#include <QDir>

#include <sys/file.h>

namespace {

// Not the one-copy claim's name: where there is no cache folder of its own, the runtime folder stands in.
const QString kLockName = QStringLiteral("vistrelle-copies.lock");

} // namespace

CacheFolderUse::CacheFolderUse(const QString& folder)
    : lockPath(folder.isEmpty() ? QString() : QDir(folder).filePath(kLockName)) {}

bool CacheFolderUse::removeLeftoversWhenAlone(const std::function<void()>& removal) {
    if (lockPath.isEmpty() || started)
        return false;
    started = true;
    lock = lock_file::open(lockPath);
    if (!lock.isValid())
        return false;
    const bool alone = lock_file::tryLock(lock.get(), LOCK_EX);
    if (alone && removal)
        removal();
    // Never waits: the lock is out of reach only while another start removes leftovers, or while something
    // that is no copy of ours holds it. This copy then runs unseen by later starts, which the one-copy claim
    // keeps out anyway.
    if (!lock_file::tryLock(lock.get(), LOCK_SH))
        lock.reset();
    return alone;
}
