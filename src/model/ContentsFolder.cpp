#include "model/ContentsFolder.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// "name.ext" splits at its last dot; a leading dot belongs to the name.
void splitName(const QString& name, QString& base, QString& extension) {
    const int dot = name.lastIndexOf('.');
    base = dot > 0 ? name.left(dot) : name;
    extension = dot > 0 ? name.mid(dot) : QString();
}

// A name of one path component: never empty, ".", ".." or with a slash.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/'));
}

QString projectFolderOf(const QString& contentsFolder) {
    return QFileInfo(QDir::cleanPath(contentsFolder)).absolutePath();
}

} // namespace

double ContentsFolder::secondsSinceReferenceDate() {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return double(reference.msecsTo(SlideshowProject::clock()->now())) / 1000.0;
}

QString ContentsFolder::timeStampedName(const QString& stem, const QString& extension) {
    const QString name = stem + QString::number(secondsSinceReferenceDate(), 'f', 2);
    return extension.isEmpty() ? name : name + "." + extension;
}

QString ContentsFolder::songCopyName(const QString& source) {
    const QFileInfo info(source);
    return timeStampedName(info.completeBaseName() + "-", info.suffix());
}

QString ContentsFolder::sourceNameOfCopy(const QString& name) {
    static const QRegularExpression copy(QStringLiteral("^(.+)-\\d+\\.\\d\\d(?:-\\d+)?(\\.[^.]*)?$"));
    const QRegularExpressionMatch match = copy.match(name);
    return match.hasMatch() ? match.captured(1) + match.captured(2) : name;
}

QString ContentsFolder::ofOpenProject() {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->strMacProjectBundleContentsPath() : QString();
}

QString ContentsFolder::fileInProject(const QString& path, const QString& contentsFolder) {
    if (path.isEmpty() || contentsFolder.isEmpty() || !QDir::isAbsolutePath(path))
        return QString();
    return QFileInfo(path).isFile() && platform::liesInsideFolder(path, projectFolderOf(contentsFolder))
               ? path
               : QString();
}

QString ContentsFolder::resourceFile(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return QString();
    return QFileInfo(path).isFile() && platform::liesInsideFolder(path, platform::paths::resourceFolder())
               ? path
               : QString();
}

QString ContentsFolder::projectOrResourceFile(const QString& path, const QString& contentsFolder) {
    const QString own = fileInProject(path, contentsFolder);
    return own.isEmpty() ? resourceFile(path) : own;
}

QString ContentsFolder::nameInContents(const QString& name, const QString& contentsFolder) {
    if (contentsFolder.isEmpty() || !isPlainName(name))
        return QString();
    const QString path = contentsFolder + "/" + name;
    const QFileInfo entry(path);
    if (entry.exists() || entry.isSymLink())
        return fileInProject(path, contentsFolder);
    // Nothing there yet: a name about to be written, unless the folder would take it elsewhere.
    const QFileInfo folder(contentsFolder);
    const bool leadsOut = (folder.exists() || folder.isSymLink()) &&
                          !platform::liesInsideFolder(contentsFolder, projectFolderOf(contentsFolder));
    return leadsOut ? QString() : path;
}

QString ContentsFolder::clipInProject(const QString& path, const QString& contentsFolder) {
    if (const QString inside = fileInProject(path, contentsFolder); !inside.isEmpty())
        return inside;
    const QString name = QFileInfo(path).fileName();
    if (!isPlainName(name))
        return QString();
    return fileInProject(contentsFolder + "/videos/" + name, contentsFolder);
}

QString ContentsFolder::recordingName(double secondsSinceReferenceDate) {
    return QString::asprintf("sound_%f.caf", secondsSinceReferenceDate);
}

QString ContentsFolder::slideSoundFile(const QString& path, const QString& contentsFolder) {
    if (const QString own = fileInProject(path, contentsFolder); !own.isEmpty())
        return own;
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return QString();
    // The file itself, every link resolved, must be a recording directly in Documents.
    const QFileInfo resolved(QFileInfo(path).canonicalFilePath());
    const QString documents = QDir(platform::paths::documentsFolder()).canonicalPath();
    const QString name = resolved.fileName();
    const bool recording = name.startsWith(QLatin1String("sound_")) && name.endsWith(QLatin1String(".caf"));
    return resolved.isFile() && recording && !documents.isEmpty() && resolved.absolutePath() == documents
               ? path
               : QString();
}

QString ContentsFolder::freeName(const QString& folder, const QString& name) {
    QString base, extension;
    splitName(name, base, extension);
    return QFileInfo(platform::firstFreePath(folder, base, extension)).fileName();
}

QString ContentsFolder::reserveName(const QString& folder, const QString& name, QString* error) {
    for (int attempt = 0; attempt < 1000 && !folder.isEmpty() && !name.isEmpty(); ++attempt) {
        const QString candidate = freeName(folder, name);
        QFile file(folder + "/" + candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return candidate;
        if (!QFileInfo::exists(file.fileName())) {
            if (error)
                *error = tr_("\"%1\" could not be made: %2").arg(file.fileName(), file.errorString());
            return QString();
        }
    }
    if (error)
        *error = tr_("No free name was found for \"%1\" in \"%2\".").arg(name, folder);
    return QString();
}

QString ContentsFolder::copyUnderFreeName(const QString& source, const QString& folder, const QString& name,
                                          QString* error) {
    const QFileInfo from(source);
    if (!from.isFile() || folder.isEmpty() || name.isEmpty()) {
        if (error)
            *error = tr_("\"%1\" could not be copied into the project: it is not a file.").arg(source);
        return QString();
    }
    // A copy never replaces its target; when another copy takes the name first, the next one is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = freeName(folder, name);
        QFile file(source);
        if (file.copy(folder + "/" + candidate))
            return candidate;
        if (!QFileInfo::exists(folder + "/" + candidate)) {
            if (error)
                *error =
                    tr_("\"%1\" could not be copied into the project: %2").arg(source, file.errorString());
            return QString();
        }
    }
    if (error)
        *error = tr_("\"%1\" could not be copied into the project: no free name was found.").arg(source);
    return QString();
}
