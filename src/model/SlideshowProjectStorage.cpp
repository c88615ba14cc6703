// The project on disk: its folder, its archive, the user defaults that remember it, and the fixed
// paths the exports share.
#include "model/ContentsFolder.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileTree.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <functional>

namespace {

const QString kLastProjectBundlePath = QStringLiteral("LastProjectBundlePath");
const QString kOutputVideoPath = QStringLiteral("OutputVideoPath");
const QString kOutputVideoFormat = QStringLiteral("OutputVideoFormat");
const QString kTempPrefix = QStringLiteral("10468DAE-4D11-4C1B-893C-A7C0DF8AA810");
const QString kVideosFolder = QStringLiteral("videos");

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

bool isFolder(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

// Sizes truncated to whole pixels for file names, never undefined for odd values.
int wholePixels(double value) {
    if (!(value > 0.0))
        return 0;
    return value >= 1e9 ? 1000000000 : int(value);
}

// Makes a new folder that did not exist before: "<parent>/<name>.<ext>", else "<name>-1.<ext>", ...
QString makeFreshFolder(const QString& parent, const QString& name, const QString& extension) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = platform::firstFreePath(parent, name, extension);
        if (candidate.isEmpty())
            return QString();
        if (QDir().mkdir(candidate))
            return candidate;
        if (!QFileInfo::exists(candidate))
            return QString(); // not a race with another maker: the parent is not writable
    }
    return QString();
}

} // namespace

QString SlideshowProject::appDocFullPath() {
    const QString folder = platform::paths::applicationFolder();
    QDir().mkpath(folder);
    return folder;
}

QString SlideshowProject::fileNameForTitle(const QString& title) {
    return platform::sanitizedFileName(title, tr_("New Project"));
}

void SlideshowProject::assignFolder(const QString& folder) {
    shared.with([&folder](Shared& s) {
        s.bundlePath = folder;
        s.contentsPath = folder + "/" + contentFolderName();
    });
}

SlideshowProjectRef SlideshowProject::createNewBundleProject(const QString& title, QString* error) {
    const QString parent = appDocFullPath();
    const QString folder = isFolder(parent)
                               ? makeFreshFolder(parent, fileNameForTitle(title), "." + docExtenstionName())
                               : QString();
    if (folder.isEmpty() || !QDir().mkpath(folder + "/" + contentFolderName())) {
        setError(error, tr_("The project folder could not be created in %1.").arg(parent));
        return nullptr;
    }
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    project->assignFolder(folder);
    copyDefaultMP3FileToPackage(project);
    // Written at once: a folder without its archive is not a project, and would be lost to the next start.
    if (!project->saveProjectToFile(error)) {
        QDir(folder).removeRecursively();
        return nullptr;
    }
    return project;
}

bool SlideshowProject::isValidProjectBundle(const QString& path) {
    if (path.isEmpty() || !isFolder(path))
        return false;
    const QFileInfo archive(path + "/" + shortFileName());
    return archive.exists() && !archive.isDir() && isFolder(path + "/" + contentFolderName());
}

SlideshowProjectRef SlideshowProject::loadBundleProject(const QString& path, QString* error) {
    if (!isValidProjectBundle(path)) {
        setError(error, tr_("\"%1\" is not a Vistrelle project.").arg(path));
        return nullptr;
    }
    registerModelClasses();
    QString message;
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString archive = folder + "/" + shortFileName();
    // A received folder's archive that links to one of the user's other projects would open that project
    // in its place, and the next save would copy its contents into the received folder.
    if (!platform::liesInsideFolder(archive, folder)) {
        setError(error,
                 tr_("The project \"%1\" could not be read: its archive lies outside its folder.").arg(path));
        return nullptr;
    }
    auto root = platform::KeyedUnarchiver::unarchiveObjectWithFile(archive, &message);
    auto project = std::dynamic_pointer_cast<SlideshowProject>(root);
    if (project && !platform::KeyedArchiver::isArchivable(project, &message))
        project.reset(); // opened, it could never be saved again: every edit would be lost
    if (!project) {
        setError(error, tr_("The project \"%1\" could not be read: %2")
                            .arg(path, message.isEmpty() ? tr_("it holds no project.") : message));
        return nullptr;
    }
    project->assignFolder(folder);
    QDir().mkpath(project->strMacProjectBundleContentsPath());
    // Saves that a killed process left half-made: nobody else writes into a project while it opens.
    platform::removeStaleTemporaryFiles(folder);
    if (platform::liesInsideFolder(project->strMacProjectBundleContentsPath(), folder))
        platform::removeStaleTemporaryFiles(project->strMacProjectBundleContentsPath());
    // Stored paths are only looked up in this folder: a renamed or moved project folder leaves the clips'
    // paths behind (their copies are here), and a received one may name any file of the user's.
    for (const auto& slide : project->slideshowArray())
        slide->locateFilesInProject(project->strMacProjectBundleContentsPath());
    for (const auto& slide : project->slideshowArray())
        project->themeManger()->setSlideItemFromCurrentTheme(*slide);
    project->calcSlideItemsPhotoTransitionDuration();
    project->setBIsDirty(false);
    return project;
}

bool SlideshowProject::saveProjectToFile(QString* error) {
    // Cleared first, so that an edit made while the archive is written marks the project again.
    setBIsDirty(false);
    if (!writeArchive(error)) {
        setBIsDirty(true);
        return false;
    }
    return true;
}

bool SlideshowProject::writeArchive(QString* error) {
    const QString path = getProjectFullFileName();
    if (path.isEmpty()) {
        setError(error, tr_("The project has no folder to be saved in."));
        return false;
    }
    auto self = weak_from_this().lock();
    if (!self) {
        setError(error, tr_("The project cannot be saved."));
        return false;
    }
    return platform::KeyedArchiver::archiveRootObject(self, path, error);
}

QString SlideshowProject::getProjectFullFileName() const {
    const QString folder = strMacProjectBundleFullPath();
    return folder.isEmpty() ? QString() : folder + "/" + shortFileName();
}

bool SlideshowProject::loadProjectFromFile(QString* error) {
    auto project = loadBundleProject(strMacProjectBundleFullPath(), error);
    if (!project)
        return false;
    retainProject(project);
    return true;
}

void SlideshowProject::copyDefaultMP3FileToPackage(const SlideshowProjectRef& project) {
    if (!project || !project->musicArray().empty())
        return;
    QString source = platform::paths::pathForResource("default", "mp3");
    if (source.isEmpty())
        source = platform::paths::resourceFolder() + "/default.mp3";
    // The song plays from the resource; without its copy its length is measured there too.
    const QString copyName = ContentsFolder::copyUnderFreeName(
        source, project->strMacProjectBundleContentsPath(), ContentsFolder::songCopyName(source));
    QVariantMap song{{"filePath", source},
                     {"titleFromFileName", QFileInfo(source).completeBaseName()},
                     {"musicSource", "bundleDefaultMusic"}};
    if (!copyName.isEmpty())
        song.insert("pureFileName", copyName);
    auto item = platform::makeMainThreadShared<MusicItem>();
    item->addEntriesFromDictionary(song);
    project->addMusicItem(item);
}

QSet<QString> SlideshowProject::namedFiles() const {
    QSet<QString> named;
    const auto add = [&named](const QString& path) {
        if (const QString file = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
            !file.isEmpty())
            named.insert(file);
    };
    const QString contents = strMacProjectBundleContentsPath();
    for (const SlideItemRef& slide : slideshowArray())
        for (const QString& path :
             {slide->fileNameIn(contents), slide->strThumbFileName(), slide->backgroudImageFileName(),
              slide->textImageFileName(), slide->mediaFilePath(), slide->strSoundFileName()})
            add(path);
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    for (const auto& songs : {musicArray(), audioLayerArray(), manager->dvdMenuBackgroundMusicArray()})
        for (const MusicItemRef& song : songs) {
            add(song->strFilePathIn(contents));
            add(song->strCopyPathIn(contents));
        }
    add(manager->dvdBackgroundMusicPath());
    add(themeBackgroundPicture());
    return named;
}

namespace {

bool isNamed(const QSet<QString>& named, const QString& path) {
    const QString file = QFileInfo(path).canonicalFilePath();
    return !file.isEmpty() && named.contains(file);
}

} // namespace

bool SlideshowProject::refersToFile(const QString& path) const {
    return isNamed(namedFiles(), path);
}

void SlideshowProject::removeCopyNamedByNothing(const QString& path) const {
    const QString copy = ContentsFolder::fileInProject(path, strMacProjectBundleContentsPath());
    if (!copy.isEmpty() && !refersToFile(copy))
        SlideItem::deleteFileInsideOpenProject(copy);
}

void SlideshowProject::deleteFilesOfRemovedSlides(const std::vector<SlideItemRef>& removed) const {
    // Asked once for all the files: a Delete of many slides of a long show stays quick.
    const QSet<QString> named = namedFiles();
    for (const SlideItemRef& slide : removed)
        slide->deleteFilesForDeletingItem([&named](const QString& path) { return isNamed(named, path); });
}

QString SlideshowProject::strProjectVideoFileDirectory() const {
    const QString contents = strMacProjectBundleContentsPath();
    if (contents.isEmpty())
        return QString();
    const QString folder = contents + "/" + kVideosFolder;
    QDir().mkpath(folder);
    return folder;
}

QString SlideshowProject::createVideoFilePathInProjectFromSource(const QString& source) const {
    const QString folder = strProjectVideoFileDirectory();
    if (folder.isEmpty() || source.isEmpty())
        return QString();
    const QFileInfo info(source);
    const QString name = platform::sanitizedFileName(info.completeBaseName(), tr_("Video"));
    return platform::firstFreePath(folder, name, info.suffix().isEmpty() ? QString() : "." + info.suffix());
}

QString SlideshowProject::themeBackgroundPicture() const {
    const QString stored = strThemeBackground();
    const QString contents = strMacProjectBundleContentsPath();
    if (stored.isEmpty())
        return QString();
    const QString path = QDir::isAbsolutePath(stored) ? stored : contents + "/" + stored;
    return ContentsFolder::projectOrResourceFile(path, contents);
}

QString SlideshowProject::themeBackgroundPictureName() const {
    return QFileInfo(strThemeBackground()).fileName();
}

QString SlideshowProject::homeDirectory() {
    return platform::paths::documentsFolder();
}

// ---- path conversions relative to the Documents folder

QString SlideshowProject::convertFilePathToApp(const QString& path) {
    if (path.contains(".app"))
        return path;
    const QString documents = homeDirectory();
    const QString marker = QFileInfo(documents).fileName() + "/";
    const int at = path.indexOf(marker);
    if (at >= 0)
        return documents + "/" + path.mid(at + marker.size());
    return path.startsWith('/') ? documents + path : documents + "/" + path;
}

QString SlideshowProject::getShortFilePathRelativeRootFolder(const QString& path) {
    if (path.contains(".app"))
        return path;
    const QString marker = QFileInfo(homeDirectory()).fileName() + "/";
    const int at = path.indexOf(marker);
    if (at >= 0)
        return path.mid(at + marker.size());
    return path.startsWith('/') ? path.mid(1) : path;
}

QString SlideshowProject::getShortFilePathRelativeProjectBundleFolder(const QString& path) {
    if (path.contains(".app"))
        return path;
    const QString marker = "." + docExtenstionName() + "/";
    const int at = path.indexOf(marker);
    if (at >= 0)
        return path.mid(at + marker.size());
    return path.startsWith('/') ? path.mid(1) : path;
}

// ---- user defaults

QString SlideshowProject::strLastProjectBundlePath() {
    return platform::UserDefaults::standard().string(kLastProjectBundlePath);
}

namespace {
void storeDefault(const QString& key, const QString& value) {
    if (value.isEmpty())
        return;
    auto& defaults = platform::UserDefaults::standard();
    defaults.setValue(key, value);
    defaults.synchronize();
}
} // namespace

void SlideshowProject::setStrLastProjectBundlePath(const QString& path) {
    storeDefault(kLastProjectBundlePath, path);
}
void SlideshowProject::setStrOutputVideoPath(const QString& path) {
    storeDefault(kOutputVideoPath, path);
}
void SlideshowProject::setStrVideoOutputFormat(const QString& format) {
    storeDefault(kOutputVideoFormat, format);
}

QString SlideshowProject::strOutputVideoPath() {
    const QString path = platform::UserDefaults::standard().string(kOutputVideoPath);
    return path.isEmpty() ? appDocFullPath() : path;
}

QString SlideshowProject::strVideoOutputFormat() {
    const QString format = platform::UserDefaults::standard().string(kOutputVideoFormat);
    return format.isEmpty() ? QStringLiteral("MP4") : format;
}

// ---- export paths

QString SlideshowProject::strProjectTempDirectoryBase() {
    // The private per-user temporary folder: fixed names in a shared /tmp could be planted by others.
    return platform::paths::temporaryFolder();
}

QString SlideshowProject::strLargeTempDirectoryBase() {
    // An hour of 1080p is about 9 GB: too much for the RAM file system the runtime folder often is.
    return platform::paths::largeTemporaryFolder();
}

QString SlideshowProject::strEncodingVideoFileBase(const QSizeF& size) {
    const QString base = strLargeTempDirectoryBase();
    if (base.isEmpty())
        return QString();
    return QStringLiteral("%1/%2_video_%3x%4")
        .arg(base, kTempPrefix)
        .arg(wholePixels(size.width()))
        .arg(wholePixels(size.height()));
}

namespace {

QString encodingVideoFileName() {
    return QStringLiteral("%1_video_[0-9]+x[0-9]+\\.(mp4|mov)").arg(QRegularExpression::escape(kTempPrefix));
}

const QRegularExpression& encodingVideoFileNamePattern() {
    static const QRegularExpression pattern(QStringLiteral("^%1$").arg(encodingVideoFileName()));
    return pattern;
}

} // namespace

bool SlideshowProject::isEncodingVideoFileName(const QString& name) {
    return encodingVideoFileNamePattern().match(name).hasMatch();
}

void SlideshowProject::deleteEncodingVideoFiles() {
    // The movies of killed exports, and whatever their writers were still writing under names of their own.
    static const QRegularExpression leftovers(
        QStringLiteral("^(?:%1|%2)$")
            .arg(encodingVideoFileName(),
                 platform::partialFileNamePattern(QRegularExpression::escape(kTempPrefix) + "_.+")));
    const QString base = strLargeTempDirectoryBase();
    if (!base.isEmpty())
        platform::removeLeftovers(base, leftovers, platform::LeftoverKind::RegularFile);
}

QString SlideshowProject::strEncodingVideoFilePath(const QSizeF& size) const {
    const QString base = strEncodingVideoFileBase(size);
    if (base.isEmpty())
        return QString();
    return base + (strVideoOutputFormat() == "MOV" ? QStringLiteral(".mov") : QStringLiteral(".mp4"));
}

QString SlideshowProject::strTempM4AAudioFullPath() {
    const QString base = strLargeTempDirectoryBase();
    return base.isEmpty() ? QString() : base + "/" + kTempPrefix + "_temp_audio.m4a";
}

namespace {

// The first free name for a finished movie in folder after the project's title. A title that reads like an
// encoded movie's own name takes a number, or the next start would remove the movie with the leftovers.
QString freeMovieName(const QString& folder, const QString& title, const QString& extension) {
    QString base = SlideshowProject::fileNameForTitle(title);
    if (SlideshowProject::isEncodingVideoFileName(base + "." + extension))
        base += QStringLiteral("-1");
    return platform::firstFreePath(folder, base, "." + extension);
}

// A finished movie that could not be moved out stays where it was made, under a name of its own, since the
// next export would write over the name it was made under; its path, or empty when there is none.
QString keepUnderOwnName(const QString& movie, const QString& title, const QString& extension) {
    if (!QFileInfo(movie).isFile())
        return QString();
    const QString kept = freeMovieName(QFileInfo(movie).absolutePath(), title, extension);
    return !kept.isEmpty() && platform::moveItem(movie, kept) ? kept : movie;
}

// Whether the file at path is still the movie as its writer left it. Another program that writes the same
// name (a copy that no claim reaches) would otherwise have its movie, or its first bytes, delivered as ours.
bool isMovieAsWritten(const QString& path, const std::optional<platform::FileIdentity>& written) {
    return written && platform::FileIdentity::ofPath(path) == written;
}

// Moves (or copies) the open project's movie at the path `source` gives into the output folder, under the
// project's title with the first free number; the target path, or empty with a message. A movie to move
// must be the file as `written` says it was left, or nothing is moved and the file is left alone.
QString deliverMovie(const std::function<QString(const SlideshowProject&)>& source, bool copy,
                     const std::optional<platform::FileIdentity>& written, QString* error) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project) {
        setError(error, tr_("No project is open."));
        return QString();
    }
    const QString from = source(*project);
    const QString folder = SlideshowProject::strOutputVideoPath();
    const QFileInfo found(from);
    if (!copy && !from.isEmpty() && (found.exists() || found.isSymLink()) &&
        !isMovieAsWritten(from, written)) {
        setError(error, tr_("The movie was not moved to %1: \"%2\" is no longer the movie this export wrote, "
                            "as another program has replaced or changed it. Export the movie again.")
                            .arg(folder, from));
        return QString();
    }
    QDir().mkpath(folder);
    const QString extension =
        platform::sanitizedFileName(SlideshowProject::strVideoOutputFormat().toLower(), "mp4");
    const QString target = freeMovieName(folder, project->strProjectTitle(), extension);
    QString message;
    const bool delivered =
        !from.isEmpty() && !target.isEmpty() &&
        (copy ? platform::filetree::copyTree(QFile::encodeName(from), QFile::encodeName(target), &message)
              : platform::moveItem(from, target, &message));
    if (!delivered) {
        if (copy && !target.isEmpty())
            platform::filetree::removeTree(QFile::encodeName(target), false, nullptr);
        QString failure = (copy ? tr_("The movie could not be copied to %1: %2")
                                : tr_("The movie could not be moved to %1: %2"))
                              .arg(folder, message);
        if (const QString kept =
                copy ? QString() : keepUnderOwnName(from, project->strProjectTitle(), extension);
            !kept.isEmpty())
            failure +=
                QStringLiteral("\n\n") +
                tr_("The finished movie is kept as \"%1\"; move it to a folder with room for it.").arg(kept);
        setError(error, failure);
        return QString();
    }
    return target;
}

} // namespace

QString SlideshowProject::copyEncodedMovieFileForExport(const std::optional<platform::FileIdentity>& written,
                                                        QString* error) {
    return deliverMovie(
        [](const SlideshowProject& p) { return p.strEncodingVideoFilePath(sizeVideoOutput()); }, false,
        written, error);
}

QString SlideshowProject::strEncodingVideoFilePath_Bundle(const QSizeF& size) const {
    const QString folder = strMacProjectBundleFullPath();
    if (folder.isEmpty())
        return QString();
    return QStringLiteral("%1/video_%2x%3.%4")
        .arg(folder)
        .arg(wholePixels(size.width()))
        .arg(wholePixels(size.height()))
        .arg(strVideoOutputFormat() == "MOV" ? QStringLiteral("mov") : QStringLiteral("mp4"));
}

QString SlideshowProject::copyEncodedMovieFileForExport_Bundle(QString* error) {
    return deliverMovie(
        [](const SlideshowProject& p) { return p.strEncodingVideoFilePath_Bundle(sizeVideoOutput()); }, true,
        std::nullopt, error);
}

QString SlideshowProject::importSourceToTempDirAndMoveItToProject(const QString& source) const {
    const QString name = platform::sanitizedFileName(QFileInfo(source).fileName(), QString());
    const QString folder = strProjectTempDirectoryBase();
    if (!name.isEmpty() && !folder.isEmpty())
        platform::createFreshFile(folder + "/" + name);
    return QString();
}

QString SlideshowProject::bundleIdentifierForApplication() {
    return platform::paths::bundleIdentifier();
}
