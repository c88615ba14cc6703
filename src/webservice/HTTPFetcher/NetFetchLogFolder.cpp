#include "webservice/HTTPFetcher/NetFetchLogFolder.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/UniqueFd.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A line of a run's index: the fetch it lists, the name of the reply file it links to (empty without one)
// and its length.
struct IndexLine {
    int number = 0;
    QString reply;
    qint64 bytes = 0;
};

// The files this process wrote into one of its run folders, each with its size, oldest first.
struct RunFiles {
    using Files = std::deque<std::pair<QString, qint64>>;
    Files replies;
    Files records;
    QByteArray indexHeader;
    std::deque<IndexLine> indexLines;
    qint64 indexBytes = 0; // its header and lines
    qint64 bytes = 0;      // of these and the index
};

std::mutex writing;
// The run folder this process made, by the path it would have without a suffix (guarded by `writing`).
QHash<QString, QString> madeRuns;
// What is in each run folder this process made, by its path (guarded by `writing`).
QHash<QString, RunFiles> runFiles;

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

// The status of a folder of this user's, never followed through a link; none for anything else.
std::optional<struct stat> ownFolderStatus(const QString& path) {
    struct stat info {};
    if (::lstat(native(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return std::nullopt;
    return info;
}

// The run's folder, made by this process: a name another process took is not shared. `fresh` tells
// whether it was made now.
QString runFolder(const QString& logFolder, const QString& runName, bool* fresh) {
    const QString plain = logFolder + QLatin1Char('/') + runName;
    *fresh = false;
    if (const QString made = madeRuns.value(plain); !made.isEmpty() && ownFolderStatus(made))
        return made;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString path = attempt == 1 ? plain : plain + QStringLiteral("_%1").arg(attempt);
        if (::mkdir(native(path).constData(), 0700) == 0) {
            if (!platform::paths::ensurePrivateFolder(path))
                return QString();
            madeRuns.insert(plain, path);
            *fresh = true;
            return path;
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

qint64 bytesUnder(const QString& folder) {
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        total += it.nextFileInfo().size();
    return total;
}

// Removes the process's older runs, oldest first, past the total; folders not named as its runs, links
// and folders of other users are left alone.
void removeOldRuns(const QString& logFolder, const QString& processName, const QString& current) {
    struct Run {
        QString path;
        qint64 modified;
    };
    std::vector<Run> runs;
    const QString prefix = NetFetchLogFolder::runFolderName(processName, QString());
    for (const QString& name : QDir(logFolder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = logFolder + QLatin1Char('/') + name;
        if (!name.startsWith(prefix) || path == current)
            continue;
        if (const auto info = ownFolderStatus(path))
            runs.push_back({path, qint64(info->st_mtim.tv_sec) * 1000000000 + info->st_mtim.tv_nsec});
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.modified > b.modified; });
    qint64 kept = 0;
    bool full = false;
    for (const Run& run : runs) {
        if (!full) {
            kept += bytesUnder(run.path);
            full = kept > NetFetchLogFolder::kMaximumTotalBytes;
        }
        if (full)
            QDir(run.path).removeRecursively();
    }
}

// Writes a file of the run into the list of its kind.
bool writeRunFile(RunFiles& files, const QString& path, const QByteArray& bytes, RunFiles::Files& kind) {
    if (!writeFile(path, bytes, false))
        return false;
    files.bytes += bytes.size();
    kind.emplace_back(path, bytes.size());
    return true;
}

// Removes a file of the run, if it is still there.
void removeRunFile(RunFiles& files, RunFiles::Files& kind, const QString& path) {
    const auto found =
        std::find_if(kind.begin(), kind.end(), [&](const auto& file) { return file.first == path; });
    if (found == kind.end())
        return;
    ::unlink(native(path).constData());
    files.bytes -= found->second;
    kind.erase(found);
}

// Up to `length` bytes of a file from `offset` on; the file is not followed through a link.
QByteArray readFile(const QString& path, qint64 offset, qint64 length) {
    platform::UniqueFd file(::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    QByteArray bytes(std::max<qint64>(length, 0), Qt::Uninitialized);
    qsizetype done = 0;
    while (file && done < bytes.size()) {
        const ssize_t n =
            ::pread(file.get(), bytes.data() + done, size_t(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

QString recordFileName(int number) {
    return QStringLiteral("fetch_%1.txt").arg(number);
}

// Adds the line of the newest entry to the run's index. Past the index's share, its oldest lines go first,
// down to half the share, so that it is written anew at most once for every half share of lines added; the
// records and replies they list go with them, as the index would no longer lead to them.
bool addIndexLine(RunFiles& files, const QString& run, IndexLine line, const QByteArray& text) {
    const QString index = run + QLatin1Char('/') + NetFetchLogFolder::indexFileName();
    line.bytes = text.size();
    if (files.indexBytes + line.bytes <= NetFetchLogFolder::kMaximumIndexBytes) {
        if (!writeFile(index, text, true))
            return false;
        files.indexBytes += line.bytes;
        files.bytes += line.bytes;
        files.indexLines.push_back(line);
        return true;
    }
    size_t dropping = 0;
    qint64 dropped = 0;
    while (dropping < files.indexLines.size() &&
           files.indexBytes - dropped + line.bytes > NetFetchLogFolder::kMaximumIndexBytes / 2)
        dropped += files.indexLines[dropping++].bytes;
    const qint64 keptFrom = files.indexHeader.size() + dropped;
    QByteArray kept = readFile(index, keptFrom, files.indexBytes - keptFrom);
    if (kept.size() != files.indexBytes - keptFrom) { // changed behind the log's back: it starts afresh
        kept.clear();
        dropping = files.indexLines.size();
    }
    // In place at once, so that a reader finds the old index or the new one whole.
    if (!platform::writeFileAtomically(index, files.indexHeader + kept + text))
        return false;
    for (; dropping > 0; --dropping) {
        const IndexLine& oldest = files.indexLines.front();
        removeRunFile(files, files.records, run + QLatin1Char('/') + recordFileName(oldest.number));
        if (!oldest.reply.isEmpty())
            removeRunFile(files, files.replies, run + QLatin1Char('/') + oldest.reply);
        files.indexLines.pop_front();
    }
    const qint64 bytes = files.indexHeader.size() + kept.size() + line.bytes;
    files.bytes += bytes - files.indexBytes;
    files.indexBytes = bytes;
    files.indexLines.push_back(line);
    return true;
}

// Removes the run's files past the total: replies before records, each kind oldest first; the index is kept
// within its share by addIndexLine.
void removeFilesPastTotal(RunFiles& files) {
    for (RunFiles::Files* oldest : {&files.replies, &files.records}) {
        while (files.bytes > NetFetchLogFolder::kMaximumTotalBytes && !oldest->empty()) {
            ::unlink(native(oldest->front().first).constData());
            files.bytes -= oldest->front().second;
            oldest->pop_front();
        }
    }
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

QString NetFetchLogFolder::responseFileName(int number, const QString& extension) {
    const QString name = QStringLiteral("fetch_%1_response").arg(number);
    return extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
}

QString NetFetchLogFolder::newestLinkName(const QString& processName) {
    return fileNamePart(QStringLiteral("%1_log_newest.html").arg(processName));
}

bool NetFetchLogFolder::write(const QString& logFolder, const QString& processName, const QString& dateStamp,
                              const Entry& entry) {
    const std::lock_guard lock(writing);
    if (!ensureLogFolder(logFolder))
        return false;
    bool fresh = false;
    const QString run = runFolder(logFolder, runFolderName(processName, dateStamp), &fresh);
    if (run.isEmpty())
        return false;
    const QString index = run + QLatin1Char('/') + indexFileName();
    RunFiles& files = runFiles[run];
    if (fresh) {
        files = RunFiles();
        removeOldRuns(logFolder, processName, run);
        files.indexHeader = indexHeader(QStringLiteral("%1 HTTP fetch log %2").arg(processName, dateStamp));
        if (!writeFile(index, files.indexHeader, false))
            return false;
        files.indexBytes = files.bytes = files.indexHeader.size();
        pointLink(logFolder + QLatin1Char('/') + newestLinkName(processName),
                  QFileInfo(run).fileName() + QLatin1Char('/') + indexFileName());
    }
    QString responseName;
    if (!entry.response.isEmpty()) {
        responseName = responseFileName(entry.number, entry.extension);
        if (!writeRunFile(files, run + QLatin1Char('/') + responseName, entry.response, files.replies))
            return false;
    }
    const QString recordName = recordFileName(entry.number);
    const bool written =
        writeRunFile(files, run + QLatin1Char('/') + recordName, entry.record.toUtf8(), files.records) &&
        addIndexLine(files, run, {entry.number, responseName}, indexEntry(entry, recordName, responseName));
    removeFilesPastTotal(files);
    return written;
}
