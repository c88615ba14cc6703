#include "app/LockFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace lock_file {

platform::UniqueFd open(const QString& path) {
    if (path.isEmpty())
        return {};
    // Read and write: a lock over NFS is a POSIX lock underneath, and an exclusive one needs a writable file.
    platform::UniqueFd fd(::open(QFile::encodeName(path).constData(),
                                 O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return fd;
}

bool tryLock(int fd, int operation) {
    int result = 0;
    do
        result = ::flock(fd, operation | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace lock_file
