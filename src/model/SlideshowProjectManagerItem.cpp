#include "model/SlideshowProjectManagerItem.h"

#include "model/ArchiveCoding.h"
#include "model/SlideshowProject.h"

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
    std::lock_guard lock(mutex);
    refreshDates.insert(encodingRecordKey(size, format), date);
}

QDateTime SlideshowProjectManagerItem::lastEncodingDate(const QSizeF& size, const QString& format) const {
    std::lock_guard lock(mutex);
    const QVariant date = refreshDates.value(encodingRecordKey(size, format));
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
    QString prefix = strProjectTitle();
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

// ---- fields

QString SlideshowProjectManagerItem::strProjectShortFolderName() const {
    std::lock_guard lock(mutex);
    return shortFolderName;
}
void SlideshowProjectManagerItem::setStrProjectShortFolderName(const QString& name) {
    std::lock_guard lock(mutex);
    shortFolderName = name;
}
QString SlideshowProjectManagerItem::strProjectTitle() const {
    std::lock_guard lock(mutex);
    return title;
}
void SlideshowProjectManagerItem::setStrProjectTitle(const QString& value) {
    std::lock_guard lock(mutex);
    title = value;
}
QString SlideshowProjectManagerItem::strThumbnailFilePath() const {
    std::lock_guard lock(mutex);
    return thumbnailPath.isEmpty() ? QString() : SlideshowProject::convertFilePathToApp(thumbnailPath);
}
void SlideshowProjectManagerItem::setStrThumbnailFilePath(const QString& path) {
    std::lock_guard lock(mutex);
    thumbnailPath = path.isEmpty() ? QString() : SlideshowProject::getShortFilePathRelativeRootFolder(path);
}
QVariantMap SlideshowProjectManagerItem::dictFileRefreshDate() const {
    std::lock_guard lock(mutex);
    return refreshDates;
}
void SlideshowProjectManagerItem::setDictFileRefreshDate(const QVariantMap& dates) {
    std::lock_guard lock(mutex);
    refreshDates = dates;
}
QString SlideshowProjectManagerItem::strUploadTitle() const {
    std::lock_guard lock(mutex);
    return uploadTitle;
}
void SlideshowProjectManagerItem::setStrUploadTitle(const QString& value) {
    std::lock_guard lock(mutex);
    uploadTitle = value;
}
QString SlideshowProjectManagerItem::strUploadDesc() const {
    std::lock_guard lock(mutex);
    return uploadDesc;
}
void SlideshowProjectManagerItem::setStrUploadDesc(const QString& value) {
    std::lock_guard lock(mutex);
    uploadDesc = value;
}

// ---- archive

void SlideshowProjectManagerItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    std::lock_guard lock(mutex);
    coder.encodeObject(archive::objectOrNil(shortFolderName), "projectShortFolderName");
    coder.encodeObject(archive::objectOrNil(title), "projectTitle");
    coder.encodeObject(archive::objectOrNil(thumbnailPath), "thumbFilePath");
    coder.encodeObject(QVariant(refreshDates), "dictFileRefreshDate");
    coder.encodeObject(archive::objectOrNil(uploadTitle), "uploadTitle");
    coder.encodeObject(archive::objectOrNil(uploadDesc), "uploadDesc");
}

std::shared_ptr<SlideshowProjectManagerItem>
SlideshowProjectManagerItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto item = std::make_shared<SlideshowProjectManagerItem>();
    item->shortFolderName = archive::decodeString(coder, "projectShortFolderName");
    item->title = archive::decodeString(coder, "projectTitle");
    item->thumbnailPath = archive::decodeString(coder, "thumbFilePath");
    if (auto dates = archive::decodeMap(coder, "dictFileRefreshDate"))
        item->refreshDates = *dates;
    item->uploadTitle = archive::decodeString(coder, "uploadTitle");
    item->uploadDesc = archive::decodeString(coder, "uploadDesc");
    return item;
}
