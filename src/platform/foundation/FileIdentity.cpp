#include "platform/foundation/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace platform {
namespace {

std::optional<FileIdentity> identityOf(const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev),        quint64(st.st_ino),         qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec),
                        qint64(st.st_ctim.tv_nsec)};
}

} // namespace

std::optional<FileIdentity> FileIdentity::ofPath(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

std::optional<FileIdentity> FileIdentity::ofDescriptor(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

} // namespace platform
