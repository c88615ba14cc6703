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
    return fields.get(&Fields::shortFolderName);
}
void SlideshowProjectManagerItem::setStrProjectShortFolderName(const QString& name) {
    fields.set(&Fields::shortFolderName, name);
}
QString SlideshowProjectManagerItem::strProjectTitle() const {
    return fields.get(&Fields::title);
}
void SlideshowProjectManagerItem::setStrProjectTitle(const QString& value) {
    fields.set(&Fields::title, value);
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
