#include "platform/foundation/FileTree.h"

#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/UniqueFd.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

namespace platform::filetree {
namespace {

bool failErrno(QString* error, const char* what, const QByteArray& path, int code = errno) {
    if (error)
        *error = QStringLiteral("Cannot %1 \"%2\": %3")
                     .arg(QLatin1String(what), QFile::decodeName(path), qt_error_string(code));
    errno = code;
    return false;
}

QByteArray child(const QByteArray& folder, const char* name) {
    return folder + '/' + name;
}

using OpenDir = std::unique_ptr<DIR, int (*)(DIR*)>;

// The entry names of the folder open as dir, without "." and ".."; shown names it in a message.
bool readNames(const OpenDir& dir, const QByteArray& shown, std::vector<QByteArray>* names, QString* error) {
    if (!dir)
        return failErrno(error, "read the folder", shown);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry)
            return errno == 0 || failErrno(error, "read the folder", shown);
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names->push_back(name);
    }
}

bool listFolder(const QByteArray& folder, std::vector<QByteArray>* names, QString* error) {
    return readNames(OpenDir(::opendir(folder.constData()), ::closedir), folder, names, error);
}

bool keepTimes(int fd, const struct stat& st) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::futimens(fd, times) == 0;
}

bool copyContents(int in, int out, const QByteArray& from, const QByteArray& to, QString* error) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failErrno(error, "read", from);
        }
        if (!writeFully(out, buffer.data(), std::size_t(got)))
            return failErrno(error, "write", to);
    }
}

bool copyFile(const QByteArray& from, const QByteArray& to, const struct stat& st, QString* error) {
    UniqueFd in(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in)
        return failErrno(error, "read", from);
    UniqueFd out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out)
        return failErrno(error, "create", to);
    if (!copyContents(in.get(), out.get(), from, to, error))
        return false;
    if (::fchmod(out.get(), st.st_mode & 07777) != 0 || !keepTimes(out.get(), st))
        return failErrno(error, "set the attributes of", to);
    if (::fsync(out.get()) != 0 || out.reset() != 0)
        return failErrno(error, "write", to);
    return true;
}

bool copyLink(const QByteArray& from, const QByteArray& to, const struct stat& st, QString* error) {
    QByteArray target(qsizetype(st.st_size) + 1, '\0');
    for (;;) {
        const ssize_t length = ::readlink(from.constData(), target.data(), std::size_t(target.size()));
        if (length < 0)
            return failErrno(error, "read the link", from);
        if (length < target.size()) {
            target.truncate(length);
            break;
        }
        target.resize(target.size() * 2); // the link changed under us; read it again
    }
    if (::symlink(target.constData(), to.constData()) != 0)
        return failErrno(error, "create", to);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, to.constData(), times, AT_SYMLINK_NOFOLLOW);
    return true;
}

bool copyFolder(const QByteArray& from, const QByteArray& to, const struct stat& st, QString* error) {
    // Owner-only until it is complete; the source's own mode is put on last.
    if (::mkdir(to.constData(), 0700) != 0)
        return failErrno(error, "create", to);
    std::vector<QByteArray> names;
    if (!listFolder(from, &names, error))
        return false;
    for (const QByteArray& name : names) {
        if (!copyTree(child(from, name.constData()), child(to, name.constData()), error))
            return false;
    }
    if (!syncFolder(to, error))
        return false;
    UniqueFd folder(::open(to.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder || ::fchmod(folder.get(), st.st_mode & 07777) != 0 || !keepTimes(folder.get(), st))
        return failErrno(error, "set the attributes of", to);
    return true;
}

} // namespace

bool copyTree(const QByteArray& from, const QByteArray& to, QString* error) {
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0)
        return failErrno(error, "read", from);
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        return copyFile(from, to, st, error);
    case S_IFDIR:
        return copyFolder(from, to, st, error);
    case S_IFLNK:
        return copyLink(from, to, st, error);
    case S_IFIFO:
        return ::mkfifo(to.constData(), st.st_mode & 07777) == 0 || failErrno(error, "create", to);
    default:
        // Sockets and devices belong to whatever made them; a copy would be a different thing.
        if (error)
            *error = QStringLiteral("Cannot move \"%1\": it is a special file").arg(QFile::decodeName(from));
        return false;
    }
}

bool listOpenFolder(int fd, const QByteArray& shown, std::vector<QByteArray>* names, QString* error) {
    OpenDir dir(::fdopendir(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), ::closedir);
    if (dir)
        ::rewinddir(dir.get()); // the copy shares the original's place in the folder
    return readNames(dir, shown, names, error);
}

namespace {

// Deeper than any tree a tool of ours writes; it bounds the walk of a tree that another program keeps
// growing.
constexpr int kDeepestFolder = 32;

const char* kindOf(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFLNK:
        return "a link";
    case S_IFIFO:
        return "a pipe";
    case S_IFSOCK:
        return "a socket";
    default:
        return "a device";
    }
}

bool holdsOnlyFilesAndFoldersAt(int fd, const QByteArray& shown, int depth, QString* error) {
    std::vector<QByteArray> names;
    if (!listOpenFolder(fd, shown, &names, error))
        return false;
    for (const QByteArray& name : names) {
        const QByteArray path = child(shown, name.constData());
        struct stat st {};
        if (::fstatat(fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return failErrno(error, "read", path);
        // A file with another name elsewhere is another program's: through it a file of the user's would be
        // read onto a disc, or written over by whoever writes into the folder.
        if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
            if (error)
                *error = QStringLiteral("\"%1\" is a hard link, a file that has other names too.")
                             .arg(QFile::decodeName(path));
            return false;
        }
        if (S_ISREG(st.st_mode))
            continue;
        if (!S_ISDIR(st.st_mode)) {
            if (error)
                *error = QStringLiteral("\"%1\" is %2, not a file or a folder.")
                             .arg(QFile::decodeName(path), QLatin1String(kindOf(st.st_mode)));
            return false;
        }
        if (depth >= kDeepestFolder)
            return failErrno(error, "read the folder", path, ELOOP);
        // A folder turned into a link since it was looked at is not opened.
        UniqueFd folder(::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder)
            return failErrno(error, "read the folder", path);
        if (!holdsOnlyFilesAndFoldersAt(folder.get(), path, depth + 1, error))
            return false;
    }
    return true;
}

} // namespace

bool holdsOnlyFilesAndFolders(int fd, const QByteArray& shown, QString* error) {
    return holdsOnlyFilesAndFoldersAt(fd, shown, 0, error);
}

namespace {

std::function<void(const QByteArray&)> beforeEmptying;

bool unlinkAt(int parent, const QByteArray& name, const QByteArray& shown, QString* error) {
    return ::unlinkat(parent, name.constData(), 0) == 0 || errno == ENOENT ||
           failErrno(error, "remove", shown);
}

// Removes the entry `name` of the folder open at parent. Every step goes through descriptors: a folder that
// another program turns into a link while it is emptied is never followed, so nothing outside the tree goes.
bool removeEntryAt(int parent, const QByteArray& name, const QByteArray& shown, bool makeWritable,
                   QString* error) {
    UniqueFd handle(::openat(parent, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!handle) {
        if (errno == ENOENT)
            return true;
        // A file or a link: removed itself.
        return (errno == ENOTDIR || errno == ELOOP) ? unlinkAt(parent, name, shown, error)
                                                    : failErrno(error, "remove", shown);
    }
    struct stat st {};
    if (::fstat(handle.get(), &st) != 0)
        return failErrno(error, "remove", shown);
    if (makeWritable && (st.st_mode & S_IRWXU) != S_IRWXU) {
        const QByteArray self = QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(handle.get());
        ::chmod(self.constData(), (st.st_mode & 07777) | S_IRWXU);
    }
    UniqueFd folder(::openat(handle.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return failErrno(error, "read the folder", shown);
    if (beforeEmptying)
        beforeEmptying(shown);
    std::vector<QByteArray> names;
    bool removed = listOpenFolder(folder.get(), shown, &names, error);
    for (const QByteArray& entry : names) {
        QString failure;
        if (!removeEntryAt(folder.get(), entry, child(shown, entry.constData()), makeWritable, &failure) &&
            removed) {
            removed = false;
            if (error)
                *error = failure;
        }
    }
    if (!removed)
        return false;
    return ::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0 || failErrno(error, "remove", shown);
}

} // namespace

bool removeTree(const QByteArray& path, bool makeWritable, QString* error) {
    QByteArray trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith('/'))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf('/');
    const QByteArray name = slash < 0 ? trimmed : trimmed.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return failErrno(error, "remove", path, EINVAL);
    UniqueFd parent;
    if (slash >= 0) {
        // The folders on the way are the caller's: only the tree itself is looked at entry by entry.
        parent.reset(
            ::open(slash == 0 ? "/" : trimmed.left(slash).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!parent)
            return errno == ENOENT || failErrno(error, "remove", path);
    }
    return removeEntryAt(parent ? parent.get() : AT_FDCWD, name, trimmed, makeWritable, error);
}

void setBeforeEmptyingFolder(std::function<void(const QByteArray& folder)> hook) {
    beforeEmptying = std::move(hook);
}

bool syncFolder(const QByteArray& folder, QString* error) {
    UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return failErrno(error, "open the folder", folder);
    // Some file systems cannot sync folders at all; that is no reason to fail a write.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        return failErrno(error, "flush the folder", folder);
    return true;
}

} // namespace platform::filetree
