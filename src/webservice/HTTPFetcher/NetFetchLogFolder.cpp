#include "webservice/HTTPFetcher/NetFetchLogFolder.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex writing;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A name that stays one name inside a folder.
QString fileNamePart(QString text) {
    return text.replace(QLatin1Char('/'), QLatin1Char('_'));
}

bool writeFile(const QString& path, const QByteArray& bytes, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    platform::UniqueFd file(::open(native(path).constData(), flags, 0600));
    if (!file)
        return false;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(file.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return file.reset() == 0;
}

// The log folder: made private when it is made here; one that is there already stays as it is, but must
// be a folder and not a link.
bool ensureLogFolder(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (::mkdir(native(path).constData(), 0700) == 0)
        return true;
    struct stat info {};
    return errno == EEXIST && ::lstat(native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Points the newest-run link at `target`; a file of that name that is no link is left alone.
void pointLink(const QString& link, const QString& target) {
    struct stat info {};
    if (::lstat(native(link).constData(), &info) == 0) {
        if (!S_ISLNK(info.st_mode))
            return;
        ::unlink(native(link).constData());
    }
    ::symlink(native(target).constData(), native(link).constData());
}

QByteArray indexHeader(const QString& title) {
    const QString escaped = title.toHtmlEscaped();
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                          "<body>\n<h1>%1</h1>\n")
        .arg(escaped)
        .toUtf8();
}

QByteArray indexEntry(const NetFetchLogFolder::Entry& entry, const QString& recordName,
                      const QString& responseName) {
    QString line = QStringLiteral("<p>%1 <a href=\"%2\">record</a>")
                       .arg(entry.summary.toHtmlEscaped(), recordName.toHtmlEscaped());
    if (!responseName.isEmpty())
        line += QStringLiteral(" <a href=\"%1\">reply</a>").arg(responseName.toHtmlEscaped());
    return (line + QStringLiteral("</p>\n")).toUtf8();
}

} // namespace

QString NetFetchLogFolder::runFolderName(const QString& processName, const QString& dateStamp) {
    return fileNamePart(QStringLiteral("%1_log_%2").arg(processName, dateStamp));
}

QString NetFetchLogFolder::newestLinkName(const QString& processName) {
    return fileNamePart(QStringLiteral("%1_log_newest.html").arg(processName));
}

bool NetFetchLogFolder::write(const QString& logFolder, const QString& processName, const QString& dateStamp,
                              const Entry& entry) {
    const std::lock_guard lock(writing);
    if (!ensureLogFolder(logFolder))
        return false;
    const QString runName = runFolderName(processName, dateStamp);
    const QString run = logFolder + QLatin1Char('/') + runName;
    if (!platform::paths::ensurePrivateFolder(run))
        return false;
    const QString index = run + QLatin1Char('/') + indexFileName();
    if (!QFileInfo(index).exists()) {
        if (!writeFile(index, indexHeader(QStringLiteral("%1 HTTP fetch log %2").arg(processName, dateStamp)),
                       false))
            return false;
        pointLink(logFolder + QLatin1Char('/') + newestLinkName(processName),
                  runName + QLatin1Char('/') + indexFileName());
    }
    const QString recordName = QStringLiteral("fetch_%1.txt").arg(entry.number);
    if (!writeFile(run + QLatin1Char('/') + recordName, entry.record.toUtf8(), false))
        return false;
    QString responseName;
    if (!entry.response.isEmpty()) {
        responseName = QStringLiteral("fetch_%1_response").arg(entry.number);
        if (!entry.extension.isEmpty())
            responseName += QLatin1Char('.') + entry.extension;
        if (!writeFile(run + QLatin1Char('/') + responseName, entry.response, false))
            responseName.clear();
    }
    return writeFile(index, indexEntry(entry, recordName, responseName), true);
}
