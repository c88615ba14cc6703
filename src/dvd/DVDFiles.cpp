#include "dvd/DVDFiles.h"

#include "platform/foundation/FileTree.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

QString xmlEscaped(const QString& text) {
    QString escaped = text.toHtmlEscaped(); // &, <, > and "
    escaped.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
    return escaped;
}

bool writeNewFile(const QString& path, const QByteArray& data, QString* error) {
    return writeNewOwnFile(path, data, error).isValid();
}

platform::UniqueFd writeNewOwnFile(const QString& path, const QByteArray& data, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT) {
        if (error)
            *error = QStringLiteral("Cannot replace \"%1\": %2").arg(path, qt_error_string(errno));
        return {};
    }
    platform::UniqueFd fd(::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        if (error)
            *error = QStringLiteral("Cannot create \"%1\": %2").arg(path, qt_error_string(errno));
        return {};
    }
    QString writeError;
    if (!platform::writeFully(fd.get(), data.constData(), std::size_t(data.size()), &writeError)) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2")
                         .arg(path, writeError.isEmpty() ? qt_error_string(errno) : writeError);
        return {};
    }
    return fd;
}

qint64 sizeOfOpenFile(int fd) {
    struct stat st {};
    return fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
}

bool removeItem(const QString& path) {
    // Entry by entry through descriptors: a folder turned into a link meanwhile is never followed.
    return platform::filetree::removeTree(QFile::encodeName(path), false, nullptr);
}

bool isNonEmptyFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

QString pathIn(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name;
}

QString folderArgument(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString substitutePlaceholders(const QString& text, const QList<std::pair<QString, QString>>& replacements) {
    QString result;
    qsizetype position = 0;
    for (;;) {
        qsizetype nearest = -1;
        const std::pair<QString, QString>* found = nullptr;
        for (const auto& pair : replacements) {
            const qsizetype at = pair.first.isEmpty() ? -1 : text.indexOf(pair.first, position);
            if (at >= 0 && (nearest < 0 || at < nearest)) {
                nearest = at;
                found = &pair;
            }
        }
        if (!found)
            break;
        result += QStringView(text).mid(position, nearest - position);
        result += found->second;
        position = nearest + found->first.size();
    }
    result += QStringView(text).mid(position);
    return result;
}

bool readTextResource(const QString& name, const QString& type, QString* text, QString* error) {
    const QString path = platform::paths::pathForResource(name, type);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The resource \"%1.%2\" is missing.").arg(name, type);
        return false;
    }
    *text = QString::fromUtf8(file.readAll());
    return true;
}
