#include "ui/editing/ClipFileCopier.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/UniqueFd.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace clip_file_copier {

namespace {

Result failure(const QString& what, const QString& path, int error) {
    return {Outcome::Failed, QStringLiteral("%1 \"%2\": %3").arg(what, path, qt_error_string(error))};
}

// Fills the buffer up to its size or the end of the file; -1 on a read error.
ssize_t readChunk(int fd, char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, buffer + filled, size - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += std::size_t(got);
    }
    return ssize_t(filled);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= std::size_t(put);
    }
    return true;
}

// A clip in the project reads like any file the user made: the mode a new file gets, less the umask.
void giveOrdinaryMode(int fd) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

} // namespace

Result copyFile(const QString& source, const QString& destination,
                const std::function<void(qint64, qint64)>& progress, const std::function<bool()>& cancelled) {
    const QByteArray sourcePath = QFile::encodeName(source);
    platform::UniqueFd in(::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC));
    if (!in)
        return failure(QStringLiteral("Cannot open"), source, errno);
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return failure(QStringLiteral("Cannot read"), source, errno);
    const qint64 size = info.st_size;

    const QFileInfo target(destination);
    QByteArray pattern = QFile::encodeName(target.absolutePath() + QStringLiteral("/.import-") +
                                           target.fileName() + ".XXXXXX");
    platform::UniqueFd out(::mkstemp(pattern.data()));
    if (!out)
        return failure(QStringLiteral("Cannot write into"), target.absolutePath(), errno);
    const QString temporary = QFile::decodeName(pattern);
    const auto discard = [&](Result result) {
        out.reset();
        ::unlink(pattern.constData());
        return result;
    };
    giveOrdinaryMode(out.get());

    std::vector<char> buffer(static_cast<std::size_t>(kChunkSize));
    qint64 copied = 0;
    for (;;) {
        const ssize_t got = readChunk(in.get(), buffer.data(), buffer.size());
        if (got < 0)
            return discard(failure(QStringLiteral("Cannot read"), source, errno));
        if (got == 0)
            break;
        if (!writeAll(out.get(), buffer.data(), std::size_t(got)))
            return discard(failure(QStringLiteral("Cannot write"), temporary, errno));
        copied += got;
        if (progress)
            progress(copied, size);
        if (cancelled && cancelled())
            return discard({Outcome::Cancelled, QString()});
    }
    if (out.reset() != 0)
        return discard(failure(QStringLiteral("Cannot write"), temporary, errno));
    QString error;
    if (!platform::moveItem(temporary, destination, &error)) {
        ::unlink(pattern.constData());
        return {Outcome::Failed, error};
    }
    return {Outcome::Copied, QString()};
}

} // namespace clip_file_copier
