#include "model/SlideshowProjectManagerItem.h"

#include "model/ArchiveCoding.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/FileTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kFolderPrefix = QStringLiteral("SlideshowProject");

int wholePixels(double value) {
    if (!(value > 0.0))
        return 0;
    return value >= 1e9 ? 1000000000 : int(value);
}

// The text after `marker` when splitting at it gives exactly two parts, else `otherwise`.
QString afterOnlyMarker(const QString& name, const QString& marker, const QString& otherwise) {
    const QStringList parts = name.split(marker);
    return parts.size() == 2 ? parts[1] : otherwise;
}

} // namespace

QString SlideshowProjectManagerItem::encodingRecordKey(const QSizeF& size, const QString& format) {
    return QStringLiteral("video_%1x%2_%3")
        .arg(wholePixels(size.width()))
        .arg(wholePixels(size.height()))
        .arg(format.toLower());
}

void SlideshowProjectManagerItem::recordEncoding(const QSizeF& size, const QString& format,
                                                 const QDateTime& date) {
    fields.with([&](Fields& f) { f.refreshDates.insert(encodingRecordKey(size, format), date); });
}

QDateTime SlideshowProjectManagerItem::lastEncodingDate(const QSizeF& size, const QString& format) const {
    const QVariant date = fields.get(&Fields::refreshDates).value(encodingRecordKey(size, format));
    return date.typeId() == QMetaType::QDateTime ? date.toDateTime() : QDateTime();
}

QString SlideshowProjectManagerItem::videoOutputFileNameMiddleOne() const {
    const QString name = strProjectShortFolderName();
    if (name.isEmpty())
        return QString();
    if (name.startsWith('.'))
        return afterOnlyMarker(name, "." + kFolderPrefix, name.mid(1));
    return afterOnlyMarker(name, kFolderPrefix, name);
}

QString SlideshowProjectManagerItem::videoOutputFileNamePrefix() const {
    return moviePrefix(strProjectTitle());
}

QString SlideshowProjectManagerItem::moviePrefix(const QString& title) const {
    QString prefix = title;
    if (prefix.isEmpty())
        return QString();
    for (QChar c : QStringLiteral("\\/:*?\"<>|'.`"))
        prefix.replace(c, '-');
    return prefix + "-" + videoOutputFileNameMiddleOne();
}

QString SlideshowProjectManagerItem::videoOutputFullPath(const QSizeF& size) const {
    return QStringLiteral("%1/%2-%3p.MOV")
        .arg(SlideshowProject::homeDirectory(), videoOutputFileNamePrefix())
        .arg(wholePixels(size.height()));
}

QString SlideshowProjectManagerItem::videoOutputRelativePath(const QSizeF& size) const {
    return QStringLiteral("./%1-%2p.MOV").arg(videoOutputFileNamePrefix()).arg(wholePixels(size.height()));
}

QString SlideshowProjectManagerItem::videoOutputFullPath_Ver230(const QSizeF& size) const {
    const QString folder = projectFullPath();
    if (folder.isEmpty())
        return QString();
    return QStringLiteral("%1/VIDEO_%2x%3.MOV")
        .arg(folder)
        .arg(wholePixels(size.width()))
        .arg(wholePixels(size.height()));
}

QString SlideshowProjectManagerItem::videoOutputRelativePath_Ver230(const QSizeF& size) const {
    const QString name = strProjectShortFolderName();
    if (!SlideshowProjectManager::isEntryFolderName(name))
        return QString();
    return QStringLiteral("./%1/VIDEO_%2x%3.MOV")
        .arg(name)
        .arg(wholePixels(size.width()))
        .arg(wholePixels(size.height()));
}

QStringList SlideshowProjectManagerItem::videoOutputFileExistArray() const {
    const QString prefix = videoOutputFileNamePrefix();
    // Title and folder name may come from a received archive: only an entry's own numbered folder makes
    // names that none of the user's own movies bear ("Holiday" in "2019" would be "Holiday-2019-720p.MOV").
    if (prefix.isEmpty() || !SlideshowProjectManager::isEntryFolderName(strProjectShortFolderName()))
        return {};
    // Only names this entry's movies are given: a looser match (any name beginning with the prefix, or
    // holding the middle part under any title) would take in another entry's movies and the user's own, whose
    // older projects had folders of the same numbers.
    const QStringList named = moviesNamed({prefix});
    if (!named.isEmpty())
        return named;
    QStringList earlier;
    for (const QString& title : fields.get(&Fields::earlierTitles))
        earlier.push_back(moviePrefix(title));
    return moviesNamed(earlier);
}

QStringList SlideshowProjectManagerItem::moviesNamed(const QStringList& prefixes) {
    QStringList alternatives;
    for (const QString& prefix : prefixes)
        alternatives.push_back(QRegularExpression::escape(prefix));
    if (alternatives.isEmpty())
        return {};
    const QRegularExpression movie(
        QRegularExpression::anchoredPattern("(" + alternatives.join('|') + QStringLiteral(")-\\d+p\\.MOV")));
    QStringList names;
    const QDir documents(SlideshowProject::homeDirectory());
    for (const QFileInfo& found : documents.entryInfoList(QDir::Files | QDir::System | QDir::Hidden))
        if (movie.match(found.fileName()).hasMatch())
            names.push_back(found.fileName());
    names.sort();
    return names;
}

bool SlideshowProjectManagerItem::deleteOutputVideoFile() const {
    const QString documents = SlideshowProject::homeDirectory();
    bool removed = true;
    for (const QString& name : videoOutputFileExistArray())
        removed = QFile::remove(documents + "/" + name) && removed;
    return removed;
}

// ---- the entry's folder

QString SlideshowProjectManagerItem::ownFolderPath() const {
    // The name comes from an archive that may have been sent with a project: only the names entries get
    // stand for an entry's folder, never a folder of the user's in the Documents folder ("Taxes").
    const QString name = strProjectShortFolderName();
    return SlideshowProjectManager::isEntryFolderName(name) ? SlideshowProject::homeDirectory() + "/" + name
                                                            : QString();
}

QString SlideshowProjectManagerItem::projectFullPath() const {
    const QString folder = ownFolderPath();
    const QFileInfo found(folder);
    if (!folder.isEmpty() && !found.exists() && !found.isSymLink())
        QDir().mkpath(folder);
    return folder;
}

QString SlideshowProjectManagerItem::strProjectInfoFileFullPath() const {
    const QString folder = projectFullPath();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/SlideshowProject.inf");
}

bool SlideshowProjectManagerItem::hasProjectArchive() const {
    const QString folder = ownFolderPath();
    return !folder.isEmpty() && QFileInfo(folder + "/" + SlideshowProject::shortFileName()).isFile();
}

bool SlideshowProjectManagerItem::deleteProjectFolder() const {
    const QString folder = ownFolderPath();
    // An entry received with a project may bear the name of one of the user's own older project folders.
    if (folder.isEmpty() || hasProjectArchive())
        return false;
    const QFileInfo found(folder);
    if (!found.exists() && !found.isSymLink())
        return true;
    return platform::filetree::removeTree(QFile::encodeName(folder), false, nullptr);
}

// ---- fields

QString SlideshowProjectManagerItem::strProjectShortFolderName() const {
    return fields.get(&Fields::shortFolderName);
}
void SlideshowProjectManagerItem::setStrProjectShortFolderName(const QString& name) {
    fields.set(&Fields::shortFolderName, name);
}
QString SlideshowProjectManagerItem::strProjectTitle() const {
    return fields.get(&Fields::title);
}
void SlideshowProjectManagerItem::setStrProjectTitle(const QString& value) {
    const QString old = strProjectTitle();
    const bool renamed = !old.isEmpty() && old != value;
    if (renamed)
        deleteOutputVideoFile();
    fields.with([&](Fields& f) {
        if (renamed && !f.earlierTitles.contains(old))
            f.earlierTitles.push_back(old);
        f.title = value;
    });
    if (renamed && !value.isEmpty())
        deleteOutputVideoFile();
}
QString SlideshowProjectManagerItem::strThumbnailFilePath() const {
    const QString path = fields.get(&Fields::thumbnailPath);
    return path.isEmpty() ? QString() : SlideshowProject::convertFilePathToApp(path);
}
void SlideshowProjectManagerItem::setStrThumbnailFilePath(const QString& path) {
    fields.set(&Fields::thumbnailPath,
               path.isEmpty() ? QString() : SlideshowProject::getShortFilePathRelativeRootFolder(path));
}
QVariantMap SlideshowProjectManagerItem::dictFileRefreshDate() const {
    return fields.get(&Fields::refreshDates);
}
void SlideshowProjectManagerItem::setDictFileRefreshDate(const QVariantMap& dates) {
    fields.set(&Fields::refreshDates, dates);
}
QString SlideshowProjectManagerItem::strUploadTitle() const {
    return fields.get(&Fields::uploadTitle);
}
void SlideshowProjectManagerItem::setStrUploadTitle(const QString& value) {
    fields.set(&Fields::uploadTitle, value);
}
QString SlideshowProjectManagerItem::strUploadDesc() const {
    return fields.get(&Fields::uploadDesc);
}
void SlideshowProjectManagerItem::setStrUploadDesc(const QString& value) {
    fields.set(&Fields::uploadDesc, value);
}

// ---- archive

void SlideshowProjectManagerItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    const Fields f = fields.get();
    coder.encodeObject(archive::objectOrNil(f.shortFolderName), "projectShortFolderName");
    coder.encodeObject(archive::objectOrNil(f.title), "projectTitle");
    coder.encodeObject(archive::objectOrNil(f.thumbnailPath), "thumbFilePath");
    coder.encodeObject(QVariant(f.refreshDates), "dictFileRefreshDate");
    coder.encodeObject(archive::objectOrNil(f.uploadTitle), "uploadTitle");
    coder.encodeObject(archive::objectOrNil(f.uploadDesc), "uploadDesc");
}

std::shared_ptr<SlideshowProjectManagerItem>
SlideshowProjectManagerItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto item = std::make_shared<SlideshowProjectManagerItem>();
    item->fields.with([&coder](Fields& f) {
        f.shortFolderName = archive::decodeString(coder, "projectShortFolderName");
        f.title = archive::decodeString(coder, "projectTitle");
        f.thumbnailPath = archive::decodeString(coder, "thumbFilePath");
        if (auto dates = archive::decodeMap(coder, "dictFileRefreshDate"))
            f.refreshDates = *dates;
        f.uploadTitle = archive::decodeString(coder, "uploadTitle");
        f.uploadDesc = archive::decodeString(coder, "uploadDesc");
    });
    return item;
}
