#include "app/SingleInstance.h"

#include "app/LockFile.h"
#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/StandardPaths.h"

#include <QDir>

#include <sys/file.h>

#include <algorithm>
#include <cerrno>

namespace {

// The same name as the lock file of earlier versions, which held an flock on it too: an older copy still
// running keeps a newer one out.
const QString kClaimName = QStringLiteral("vistrelle.lock");

// Whether fd is a file already among the held ones: a second lock on it would be refused as another copy's.
bool alreadyHeld(const std::vector<platform::UniqueFd>& held, int fd) {
    const auto file = platform::FileIdentity::ofDescriptor(fd);
    return file && std::any_of(held.begin(), held.end(), [&](const platform::UniqueFd& lock) {
               const auto other = platform::FileIdentity::ofDescriptor(lock.get());
               return other && other->sameFile(*file);
           });
}

} // namespace

QStringList SingleInstance::claimedFolders() {
    return {platform::paths::temporaryFolder(), platform::paths::largeTemporaryFolder()};
}

SingleInstance::SingleInstance(QStringList folders) : folders(std::move(folders)) {}

bool SingleInstance::claim() {
    if (claimed)
        return true;
    blocked.clear();
    blockedBecause.clear();
    std::vector<platform::UniqueFd> locks;
    for (const QString& folder : folders) {
        const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(kClaimName);
        QString why;
        platform::UniqueFd lock = lock_file::open(path, &why);
        if (!why.isEmpty()) {
            blocked = path;
            blockedBecause = why;
            return false;
        }
        if (!lock && errno == EWOULDBLOCK) // another start is making the claim's file this moment
            return false;
        if (!lock || alreadyHeld(locks, lock.get()))
            continue;
        if (lock_file::tryLock(lock.get(), LOCK_EX))
            locks.push_back(std::move(lock));
        else if (errno == EWOULDBLOCK)
            return false;
    }
    held = std::move(locks);
    claimed = true;
    return true;
}
