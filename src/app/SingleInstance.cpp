#include "app/SingleInstance.h"

#include <QDir>

SingleInstance::SingleInstance(const QString& folder)
    : lock(QDir(folder).filePath(QStringLiteral("vistrelle.lock"))), usable(!folder.isEmpty()) {
    // Stale only when its process is gone, never by age: a copy may run for days.
    lock.setStaleLockTime(0);
}

bool SingleInstance::claim() {
    if (!usable || lock.isLocked())
        return true;
    return lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
}
