#include "platform/foundation/StandardPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <mutex>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::paths {

namespace {

QString cleaned(const QString& path) {
    return QDir::cleanPath(path);
}

// An XDG user folder, or "~/<fallback>" when the user has none: a user folder set to the home folder
// itself is how a desktop marks that folder as switched off, and the program must not litter home.
QString userFolder(QStandardPaths::StandardLocation location, const QString& fallback) {
    const QString home = cleaned(QDir::homePath());
    QString folder = QStandardPaths::writableLocation(location);
    if (folder.isEmpty() || cleaned(folder) == home)
        folder = home + u'/' + fallback;
    return cleaned(folder);
}

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString installedResourceFolder() {
    const QFileInfo executable(QStringLiteral("/proc/self/exe"));
    return cleaned(QFileInfo(executable.canonicalFilePath()).absolutePath() +
                   QStringLiteral("/../share/vistrelle"));
}

// XDG_RUNTIME_DIR counts only when it is what the standard promises: our own directory, mode 0700.
QString runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime))
        return QString();
    struct stat info {};
    if (::lstat(QFile::encodeName(runtime).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 0777) != 0700)
        return QString();
    return cleaned(runtime);
}

} // namespace

// Makes (or accepts) `path` as a folder only we can enter. The final component is opened without
// following links, so a planted symlink or another user's folder is refused rather than used, and the
// mode is mended through the opened descriptor, which cannot be swapped underneath us.
bool ensurePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
    if (ok && (info.st_mode & 07777) != 0700)
        ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

namespace {

QString temporaryBase() {
    const QString base = qEnvironmentVariable("VISTRELLE_TMPDIR");
    return base.isEmpty() ? QStringLiteral("/tmp") : base;
}

struct FreshFolders {
    std::mutex mutex;
    QHash<QString, QString> byBase; // made with mkdtemp when the usual name was taken
};

FreshFolders& freshFolders() {
    static FreshFolders folders;
    return folders;
}

// "<base>/vistrelle-<uid>"; when that name is taken by something not ours (a link, a file, another user's
// folder), a fresh folder "<base>/vistrelle-<uid>-XXXXXX" made for this run, reused while it lasts.
QString privateFolderIn(const QString& base) {
    const QString prefix = cleaned(base + QStringLiteral("/vistrelle-") + QString::number(::getuid()));
    if (ensurePrivateFolder(prefix))
        return prefix;
    FreshFolders& fresh = freshFolders();
    const std::lock_guard lock(fresh.mutex);
    const QString made = fresh.byBase.value(prefix);
    if (!made.isEmpty() && ensurePrivateFolder(made))
        return made;
    QByteArray pattern = QFile::encodeName(prefix + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        return QString();
    const QString folder = QFile::decodeName(pattern);
    if (!ensurePrivateFolder(folder))
        return QString();
    fresh.byBase.insert(prefix, folder);
    return folder;
}

} // namespace

QString moviesFolder() {
    return userFolder(QStandardPaths::MoviesLocation, QStringLiteral("Videos"));
}

QString documentsFolder() {
    return userFolder(QStandardPaths::DocumentsLocation, QStringLiteral("Documents"));
}

QString downloadsFolder() {
    return userFolder(QStandardPaths::DownloadLocation, QStringLiteral("Downloads"));
}

QString applicationFolder() {
    return moviesFolder() + QStringLiteral("/Vistrelle");
}

QString configFolder() {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return cleaned(config + QStringLiteral("/Vistrelle"));
}

QString resourceFolder() {
    const QString overridden = qEnvironmentVariable("VISTRELLE_RESOURCES");
    if (isFolder(overridden))
        return cleaned(QDir(overridden).absolutePath());
    // An installed program uses its own resources even when the tree it was built in is still around.
    const QString installed = installedResourceFolder();
    if (isFolder(installed))
        return installed;
#ifdef VISTRELLE_BUILD_RESOURCE_DIR
    const QString buildTree = QStringLiteral(VISTRELLE_BUILD_RESOURCE_DIR);
    if (isFolder(buildTree))
        return cleaned(buildTree);
#endif
    return installed;
}

QString pathForResource(const QString& name, const QString& type, const QString& subfolder) {
    if (name.isEmpty())
        return QString();
    const QString root = resourceFolder();
    QString extension = type;
    if (extension.startsWith(u'.'))
        extension.remove(0, 1);
    QString path = root;
    if (!subfolder.isEmpty())
        path += u'/' + subfolder;
    path += u'/' + (extension.isEmpty() ? name : name + u'.' + extension);
    path = cleaned(path);
    // Names can come from project files: one that climbs out of the resources finds nothing.
    if (!path.startsWith(root + u'/') || !QFileInfo::exists(path))
        return QString();
    return path;
}

QString temporaryFolder() {
    const QString runtime = runtimeFolder();
    if (!runtime.isEmpty()) {
        const QString folder = runtime + QStringLiteral("/vistrelle");
        if (ensurePrivateFolder(folder))
            return folder;
    }
    return privateFolderIn(temporaryBase());
}

QString largeTemporaryFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache)) {
        const QString folder = cleaned(cache + QStringLiteral("/vistrelle"));
        if (ensurePrivateFolder(folder))
            return folder;
    }
    const QString onDisk = privateFolderIn(QStringLiteral("/var/tmp"));
    return onDisk.isEmpty() ? temporaryFolder() : onDisk;
}

QString temporaryFolderProblem() {
    return QStringLiteral("No private folder for temporary files can be made in \"%1\" (nor in the "
                          "runtime folder): check that it exists and can be written to.")
        .arg(temporaryBase());
}

void releaseTemporaryFolders() {
    FreshFolders& fresh = freshFolders();
    const std::lock_guard lock(fresh.mutex);
    for (const QString& folder : std::as_const(fresh.byBase))
        QDir(folder).removeRecursively();
    fresh.byBase.clear();
}

QString bundleIdentifier() {
    return QStringLiteral("org.vistrelle.Vistrelle");
}

} // namespace platform::paths
