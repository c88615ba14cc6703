#include "platform/foundation/FileUtils.h"

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/FileTree.h"
#include "platform/foundation/MoveOptions.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <mutex>

namespace platform {
namespace {

// Leaves room under the usual 255-byte name limit for suffixes such as "-12" and an extension.
constexpr qsizetype maximumNameBytes = 200;

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// Anything at the path counts, a dangling link included: writing there would go through the link.
bool occupied(const QString& path) {
    struct stat st {};
    return ::lstat(encoded(path).constData(), &st) == 0;
}

const QLatin1String kWritingPurpose("tmp");
const QLatin1String kPartialPurpose("part");

// A hidden name beside `name` that nobody else will pick by chance (64 random bits).
QString temporarySibling(const QString& folder, const QString& name, QLatin1String purpose) {
    const quint64 nonce = QRandomGenerator::system()->generate64();
    return QDir(folder).filePath(QLatin1Char('.') + name.left(100) + QLatin1Char('.') + purpose +
                                 QLatin1Char('-') + QString::number(nonce, 16));
}

UniqueFd createTemporary(const QString& folder, const QString& name, QString* temp,
                         QLatin1String purpose = kWritingPurpose) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        *temp = temporarySibling(folder, name, purpose);
        // 0644 less the umask, like any new file of ours.
        UniqueFd fd(
            ::open(encoded(*temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (fd || errno != EEXIST)
            return fd;
    }
    return {};
}

// New contents must not change who may read the file.
void adoptAttributes(int fd, const struct stat& old) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Only root may give files away; the file then stays ours, with the old mode.
        }
    }
    ::fchmod(fd, old.st_mode & 07777);
}

bool fillTemporary(UniqueFd fd, const QString& target, const QByteArray& data, QString* reason) {
    // The attributes of a file being replaced are kept; a link's target is none of ours.
    struct stat old {};
    if (::lstat(encoded(target).constData(), &old) == 0 && S_ISREG(old.st_mode))
        adoptAttributes(fd.get(), old);
    if (!writeFully(fd.get(), data.constData(), std::size_t(data.size())) || ::fsync(fd.get()) != 0 ||
        fd.reset() != 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    return true;
}

// rename() that never replaces what is at `to`; the fallback check covers file systems without it.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// True when `to` would lie inside the folder `from`: copying a tree into itself never ends.
bool movesIntoItself(const QString& from, const QString& to) {
    const QFileInfo source(from);
    if (source.isSymLink() || !source.isDir())
        return false;
    const QString folder = source.canonicalFilePath();
    const QString targetFolder = QFileInfo(QFileInfo(to).absolutePath()).canonicalFilePath();
    return !targetFolder.isEmpty() &&
           (targetFolder == folder || targetFolder.startsWith(folder + QLatin1Char('/')));
}

bool copyThenRemove(const QString& from, const QString& to, QString* error) {
    const QString folder = QFileInfo(to).absolutePath();
    if (!QFileInfo(folder).isDir())
        return fail(error,
                    QStringLiteral("Cannot move \"%1\": the folder \"%2\" does not exist").arg(from, folder));
    // Checked first: a copy whose original cannot be removed afterwards would leave the item twice.
    if (::access(encoded(QFileInfo(from).absolutePath()).constData(), W_OK | X_OK) != 0)
        return fail(
            error,
            QStringLiteral("Cannot move \"%1\" out of its folder: %2").arg(from, qt_error_string(errno)));

    const QByteArray temp =
        encoded(temporarySibling(folder, QFileInfo(to).fileName(), QLatin1String("moving")));
    QString reason;
    bool placed = filetree::copyTree(encoded(from), temp, &reason);
    if (placed && !renameNoReplace(temp, encoded(to))) {
        reason = qt_error_string(errno);
        placed = false;
    }
    if (placed && !filetree::syncFolder(encoded(folder), &reason)) {
        filetree::removeTree(encoded(to), true, nullptr);
        placed = false;
    }
    if (!placed) {
        filetree::removeTree(temp, true, nullptr);
        return fail(error, QStringLiteral("Cannot move \"%1\" to \"%2\": %3").arg(from, to, reason));
    }
    // The copy is complete, so folders of the original that are read-only are opened up to go as well,
    // just as a rename would have taken them along.
    if (!filetree::removeTree(encoded(from), true, &reason))
        return fail(error,
                    QStringLiteral("\"%1\" was copied to \"%2\", but the original could not be removed "
                                   "completely: %3")
                        .arg(from, to, reason));
    return true;
}

// Cuts text to at most limit UTF-8 bytes without splitting a character (or a character and its marks).
QString truncatedToBytes(const QString& text, qsizetype limit) {
    if (text.toUtf8().size() <= limit)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    qsizetype bytes = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        bytes += QStringView(text).mid(end, next - end).toUtf8().size();
        if (bytes > limit)
            break;
        end = next;
    }
    return text.left(end);
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    const QString target = QFileInfo(path).absoluteFilePath();
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    QString temp;
    UniqueFd fd = createTemporary(folder, info.fileName(), &temp);
    // rename() replaces a link at the target by the new file.
    if (!fd)
        return fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, qt_error_string(errno)));
    QString reason;
    bool written = fillTemporary(std::move(fd), target, data, &reason);
    if (written && ::rename(encoded(temp).constData(), encoded(target).constData()) != 0) {
        reason = qt_error_string(errno);
        written = false;
    }
    if (!written) {
        ::unlink(encoded(temp).constData());
        return fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, reason));
    }
    if (!filetree::syncFolder(encoded(folder), &reason))
        return fail(error,
                    QStringLiteral("\"%1\" was written but may not survive a crash: %2").arg(path, reason));
    return true;
}

int removeStaleTemporaryFiles(const QString& folder) {
    return removeStaleTemporaryFiles(folder, ::geteuid());
}

int removeStaleTemporaryFiles(const QString& folder, uid_t owner) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\..+\\.%1-[0-9a-f]{1,16}$").arg(kWritingPurpose));
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        const QByteArray path = encoded(QDir(folder).filePath(name));
        struct stat st {};
        if (pattern.match(name).hasMatch() && ::lstat(path.constData(), &st) == 0 && !S_ISDIR(st.st_mode) &&
            st.st_uid == owner && ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

int removeLeftovers(const QString& folder, const QRegularExpression& pattern, LeftoverKind kind,
                    const std::function<bool(const QRegularExpressionMatch&)>& stillInUse) {
    int removed = 0;
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        const QByteArray path = encoded(QDir(folder).filePath(name));
        struct stat st {};
        if (!match.hasMatch() || ::lstat(path.constData(), &st) != 0 || st.st_uid != ::geteuid())
            continue;
        const bool ofTheKind = kind == LeftoverKind::Pipe ? S_ISFIFO(st.st_mode) : S_ISREG(st.st_mode);
        if (ofTheKind && !(stillInUse && stillInUse(match)) && ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

bool processRuns(const QString& number) {
    bool ok = false;
    const qlonglong pid = number.toLongLong(&ok);
    if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

int removePipesOfEndedProcesses(const QString& folder, const QRegularExpression& pattern) {
    if (folder.isEmpty())
        return 0;
    return removeLeftovers(folder, pattern, LeftoverKind::Pipe, [](const QRegularExpressionMatch& match) {
        return processRuns(match.captured(1));
    });
}

bool markInUse(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool isMarkedInUse(const QString& path) {
    // Opened without waiting for a writer, should a pipe have taken the name meanwhile.
    const UniqueFd fd(::open(encoded(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    // A shared lock: two starts looking at once do not take each other for users of the file.
    return !fd || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0;
}

UniqueFd openFreshFile(const QString& path, QString* error, int mode) {
    const QByteArray name = encoded(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            fail(error, QStringLiteral("Cannot create \"%1\": a folder is in the way").arg(path));
            return {};
        }
        if (::unlink(name.constData()) != 0 && errno != ENOENT) {
            fail(error, QStringLiteral("Cannot replace \"%1\": %2").arg(path, qt_error_string(errno)));
            return {};
        }
    }
    UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode)));
    if (!fd)
        fail(error, QStringLiteral("Cannot create \"%1\": %2").arg(path, qt_error_string(errno)));
    return fd;
}

bool createFreshFile(const QString& path, QString* error, int mode) {
    return openFreshFile(path, error, mode).isValid();
}

UniqueFd openPartialFileBeside(const QString& path, QString* partial, QString* error) {
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    UniqueFd fd = createTemporary(target.absolutePath(), target.fileName(), partial, kPartialPurpose);
    if (!fd) {
        fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, qt_error_string(errno)));
        partial->clear();
    }
    return fd;
}

namespace {

std::atomic<bool> unnamedFilesAllowed{true};

const QLatin1String kUsualDescriptorFolder("/proc/self/fd");
std::mutex descriptorFolderMutex;
QString descriptorFolder = kUsualDescriptorFolder; // under descriptorFolderMutex

QString ownDescriptorPath(int fd) {
    const std::lock_guard lock(descriptorFolderMutex);
    return descriptorFolder + QLatin1Char('/') + QString::number(fd);
}

// Whether name leads to the file open at fd.
bool namesOpenFile(const QString& name, int fd) {
    const std::optional<FileIdentity> made = FileIdentity::ofDescriptor(fd);
    const std::optional<FileIdentity> found = FileIdentity::ofPath(name);
    return made && found && found->sameFile(*made);
}

// Gives the unnamed file open at fd a hidden name of its own beside `name`, made exclusively (an entry that
// stands there is never replaced nor followed). The new name, or empty.
QString linkUnnamed(int fd, const QString& folder, const QString& name) {
    const QByteArray self = encoded(ownDescriptorPath(fd));
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString partial = temporarySibling(folder, name, kPartialPurpose);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, encoded(partial).constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return partial;
        if (errno != EEXIST)
            break;
    }
    return QString();
}

PartialLoss lossAt(const QString& name) {
    struct stat st {};
    return ::lstat(encoded(name).constData(), &st) != 0 && errno == ENOENT ? PartialLoss::Removed
                                                                           : PartialLoss::Replaced;
}

// Whether linkUnnamed will reach the file open at fd, following the descriptor's link as linkat does:
// without it an unnamed file could never be placed.
bool canBeNamed(int fd) {
    struct stat reached {};
    struct stat made {};
    return ::stat(encoded(ownDescriptorPath(fd)).constData(), &reached) == 0 && ::fstat(fd, &made) == 0 &&
           reached.st_dev == made.st_dev && reached.st_ino == made.st_ino;
}

bool refuse(QString* error, PartialLoss* loss, PartialLoss why, const QString& message) {
    if (loss)
        *loss = why;
    return fail(error, message);
}

} // namespace

UniqueFd openUnnamedFileBeside(const QString& path, QString* partial, QString* error) {
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    if (unnamedFilesAllowed) {
        // 0644 less the umask, like any new file of ours.
        UniqueFd fd(
            ::open(encoded(target.absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
        if (fd && canBeNamed(fd.get())) {
            partial->clear();
            return fd;
        }
        // Only a file system (or kernel) without unnamed files, or a system that could not name one once
        // written, falls back to a hidden name.
        if (!fd && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            fail(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, qt_error_string(errno)));
            partial->clear();
            return {};
        }
    }
    return openPartialFileBeside(path, partial, error);
}

void setUnnamedFilesAllowed(bool allowed) {
    unnamedFilesAllowed = allowed;
}

void setOwnDescriptorFolder(const QString& folder) {
    const std::lock_guard lock(descriptorFolderMutex);
    descriptorFolder = folder.isEmpty() ? QString(kUsualDescriptorFolder) : folder;
}

bool placePartialFile(int fd, const QString& partial, const QString& path, QString* error,
                      PartialLoss* loss) {
    if (loss)
        *loss = PartialLoss::None;
    const auto names = [fd](const QString& name) { return namesOpenFile(name, fd); };
    const QString notOurs = QStringLiteral("Cannot put \"%1\" in place: another file has taken its name");
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    QString own = partial;
    if (own.isEmpty()) {
        own = linkUnnamed(fd, target.absolutePath(), target.fileName());
        if (own.isEmpty())
            return refuse(error, loss, PartialLoss::Other,
                          QStringLiteral("Cannot put \"%1\" in place: %2").arg(path, qt_error_string(errno)));
    }
    if (!names(own)) {
        const PartialLoss why = lossAt(own);
        return refuse(
            error, loss, why,
            why == PartialLoss::Removed
                ? QStringLiteral("Cannot put \"%1\" in place: the file it was written into was removed")
                      .arg(path)
                : notOurs.arg(path));
    }
    // rename() replaces a link at path by the file itself.
    if (::rename(encoded(own).constData(), encoded(path).constData()) != 0) {
        const int reason = errno;
        if (partial.isEmpty())
            removePartialFile(fd, own);
        return refuse(error, loss, PartialLoss::Other,
                      QStringLiteral("Cannot put \"%1\" in place: %2").arg(path, qt_error_string(reason)));
    }
    return names(path) || refuse(error, loss, PartialLoss::Replaced, notOurs.arg(path));
}

bool commitPartialFile(int fd, const QString& partial, const QString& path, QString* error) {
    // Flushed before the name moves, so that a crash never leaves the name on a half-written file.
    if (::fsync(fd) != 0)
        return fail(
            error,
            QStringLiteral("Cannot put the new \"%1\" in place: %2").arg(path, qt_error_string(errno)));
    if (!placePartialFile(fd, partial, path, error))
        return false;
    QString reason;
    if (!filetree::syncFolder(encoded(QFileInfo(QFileInfo(path).absoluteFilePath()).absolutePath()), &reason))
        return fail(error,
                    QStringLiteral("\"%1\" was written but may not survive a crash: %2").arg(path, reason));
    return true;
}

void removePartialFile(int fd, const QString& partial) {
    if (!partial.isEmpty() && namesOpenFile(partial, fd))
        QFile::remove(partial);
}

QString descriptorPath(int fd) {
    {
        const std::lock_guard lock(descriptorFolderMutex);
        if (descriptorFolder != kUsualDescriptorFolder)
            return descriptorFolder + QLatin1Char('/') + QString::number(fd);
    }
    return QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd);
}

namespace {

// Whether the path, its links followed, leads to the file open at fd.
bool leadsTo(const QString& path, int fd) {
    struct stat reached {};
    struct stat open {};
    return !path.isEmpty() && ::stat(encoded(path).constData(), &reached) == 0 && ::fstat(fd, &open) == 0 &&
           reached.st_dev == open.st_dev && reached.st_ino == open.st_ino;
}

} // namespace

bool descriptorPathReaches(int fd) {
    return leadsTo(descriptorPath(fd), fd);
}

QString pathReaching(int fd, const QString& name) {
    if (descriptorPathReaches(fd))
        return descriptorPath(fd);
    return leadsTo(name, fd) ? name : QString();
}

QString partialFileNamePattern(const QString& namePattern) {
    return QStringLiteral("\\.(?:%1)\\.%2-[0-9a-f]{1,16}").arg(namePattern, kPartialPurpose);
}

QString firstFreePath(const QString& folder, const QString& base, const QString& ext) {
    const QDir dir(folder);
    QString candidate = dir.filePath(base + ext);
    for (int n = 1; occupied(candidate); ++n)
        candidate = dir.filePath(base + QLatin1Char('-') + QString::number(n) + ext);
    return candidate;
}

bool moveItem(const QString& from, const QString& to, QString* error) {
    return moveItem(from, to, MoveOptions{}, error);
}

bool moveItem(const QString& from, const QString& to, const MoveOptions& options, QString* error) {
    struct stat st {};
    if (::lstat(encoded(from).constData(), &st) != 0)
        return fail(error, QStringLiteral("Cannot move \"%1\": %2").arg(from, qt_error_string(errno)));
    if (occupied(to))
        return fail(error,
                    QStringLiteral("Cannot move \"%1\" to \"%2\": something is already there").arg(from, to));
    if (movesIntoItself(from, to))
        return fail(error, QStringLiteral("Cannot move \"%1\" into itself").arg(from));
    if (!options.forceCopy) {
        if (renameNoReplace(encoded(from), encoded(to)))
            return true;
        if (errno != EXDEV)
            return fail(
                error,
                QStringLiteral("Cannot move \"%1\" to \"%2\": %3").arg(from, to, qt_error_string(errno)));
    }
    return copyThenRemove(from, to, error);
}

UniqueFd openRegularFile(const QString& path, QString* error) {
    const QByteArray name = encoded(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(error, QStringLiteral("Cannot open \"%1\": it is not a file on this computer").arg(path));
        return {};
    }
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        fail(error, QStringLiteral("Cannot open \"%1\": it is not a readable file").arg(path));
        return {};
    }
    return fd;
}

UniqueFd openWrittenFile(const QString& path, const std::optional<FileIdentity>& written, QString* error) {
    UniqueFd fd(::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    const std::optional<FileIdentity> found = FileIdentity::ofDescriptor(fd.get());
    if (!found || (written && *found != *written)) {
        fail(error, fd || errno == ELOOP || errno == ENOENT
                        ? QStringLiteral("\"%1\" is not the file that was written there: another program "
                                         "removed or replaced it")
                              .arg(path)
                        : QStringLiteral("Cannot open \"%1\": %2").arg(path, qt_error_string(errno)));
        return {};
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool openRegularFile(QFile& file, const QString& path, QString* error) {
    UniqueFd fd = openRegularFile(path, error);
    if (!fd)
        return false;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return fail(error, QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
    fd.release();
    return true;
}

bool liesInsideFolder(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString resolvedFolder = QFileInfo(folder).canonicalFilePath();
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolvedFolder.isEmpty() || resolved.isEmpty())
        return false;
    return resolved == resolvedFolder || resolvedFolder == QLatin1String("/") ||
           resolved.startsWith(resolvedFolder + QLatin1Char('/'));
}

QString sanitizedFileName(const QString& title, const QString& fallback) {
    QString name = title.trimmed(); // tabs and newlines at the ends go, rather than turning into "-"
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control)
            c = QLatin1Char('-');
    }
    // Dots and spaces in any mix at the front: ". .x" must not become ".x".
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == QLatin1Char('.') || name.at(start).isSpace()))
        ++start;
    name = truncatedToBytes(name.mid(start).trimmed(), maximumNameBytes).trimmed();
    return name.isEmpty() ? fallback : name;
}

} // namespace platform
