#include "http/ReqFiles.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UniqueFd.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ReqFiles {

namespace {

QString errnoText() {
    return QString::fromLocal8Bit(strerror(errno));
}

// Copies `from` into a new private file beside `to` and renames it over `to`.
bool copyBeside(const QString& from, const QString& to, QString* error) {
    QByteArray pattern =
        QFile::encodeName(QFileInfo(to).absolutePath() + QStringLiteral("/.ReqHTTPRequest-XXXXXX"));
    platform::UniqueFd out(::mkstemp(pattern.data()));
    platform::UniqueFd in(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    bool ok = out && in;
    char buffer[65536];
    while (ok) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        ok = n > 0 && ::write(out.get(), buffer, size_t(n)) == n;
    }
    ok = ok && ::fsync(out.get()) == 0 && out.reset() == 0 &&
         ::rename(pattern.constData(), QFile::encodeName(to).constData()) == 0;
    if (!ok) {
        if (error)
            *error = errnoText();
        if (out || QFile::exists(QFile::decodeName(pattern)))
            ::unlink(pattern.constData());
        return false;
    }
    ::unlink(QFile::encodeName(from).constData());
    return true;
}

} // namespace

QString makeTemporaryFile() {
    const QString folder = platform::paths::temporaryFolder();
    if (folder.isEmpty())
        return QString();
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/ReqHTTPRequest-XXXXXX"));
    platform::UniqueFd fd(::mkstemp(pattern.data()));
    if (!fd)
        return QString();
    ::fchmod(fd.get(), 0600);
    return QFile::decodeName(pattern);
}

bool replaceFile(const QString& from, const QString& to, QString* error) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (errno == EXDEV)
        return copyBeside(from, to, error);
    if (error)
        *error = errnoText();
    return false;
}

} // namespace ReqFiles
