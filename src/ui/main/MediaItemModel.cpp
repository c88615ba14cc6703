#include "ui/main/MediaItemModel.h"

#include "model/MusicItem.h"
#include "platform/foundation/StringTable.h"
#include "platform/image/PictureReading.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/VideoReader.h"
#include "ui/main/MediaFileTypes.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QUrl>

#include <algorithm>

namespace {

bool isOfKind(const QString& suffix, MediaItemModel::Kind kind) {
    const QString extension = suffix.toLower();
    switch (kind) {
    case MediaItemModel::Kind::Images:
        return media_file_types::isPhotoFile(extension);
    case MediaItemModel::Kind::Movies:
        return media_file_types::isVideoFile(extension);
    case MediaItemModel::Kind::Audio:
        return media_file_types::isMusicFile(extension);
    }
    return false;
}

QImage readPictureThumbnail(const QString& path) {
    return platform::image::readPicture(path, {MediaItemModel::kThumbnailSize}).image;
}

QImage readMovieThumbnail(const QString& path) {
    const QImage frame = platform::media::VideoReader::thumbnailAt(path, 0.0);
    return frame.isNull()
               ? frame
               : frame.scaled(MediaItemModel::kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// The icon grid's cell: the thumbnail centred on a fixed-size transparent square, so the grid stays even.
QPixmap framed(const QImage& thumbnail) {
    QPixmap cell(MediaItemModel::kThumbnailSize);
    cell.fill(Qt::transparent);
    QPainter painter(&cell);
    if (thumbnail.isNull()) {
        painter.fillRect(cell.rect().adjusted(8, 6, -8, -6), QColor(70, 70, 74));
        return cell;
    }
    const QPoint corner((cell.width() - thumbnail.width()) / 2, (cell.height() - thumbnail.height()) / 2);
    painter.drawImage(corner, thumbnail);
    return cell;
}

} // namespace

MediaItemModel::MediaItemModel(Kind kind, QObject* parent) : QAbstractTableModel(parent), mediaKind(kind) {
    pool.setMaxThreadCount(2);
}

MediaItemModel::~MediaItemModel() {
    pool.clear();
    pool.waitForDone();
}

QStringList MediaItemModel::listMedia(const QString& folder, Kind kind) {
    QStringList found;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Readable, QDir::NoSort);
    for (const QFileInfo& entry : entries)
        if (!entry.fileName().startsWith('.') && isOfKind(entry.suffix(), kind))
            found << entry.absoluteFilePath();
    std::sort(found.begin(), found.end(), [](const QString& left, const QString& right) {
        return QFileInfo(left).fileName().compare(QFileInfo(right).fileName(), Qt::CaseInsensitive) < 0;
    });
    return found;
}

void MediaItemModel::setFolder(const QString& folder) {
    beginResetModel();
    currentFolder = folder;
    items = listMedia(folder, mediaKind);
    endResetModel();
}

int MediaItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(items.size());
}

int MediaItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (mediaKind == Kind::Audio ? 2 : 1);
}

QVariant MediaItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= items.size())
        return {};
    const QString& path = items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == 1) {
            request(path);
            return durations.contains(path) ? MusicItem::timeToString(durations.value(path), false, true)
                                            : QString();
        }
        return QFileInfo(path).fileName();
    case Qt::DecorationRole:
        if (mediaKind == Kind::Audio || index.column() != 0)
            return {};
        request(path);
        return framed(thumbnails.value(path));
    case Qt::ToolTipRole:
    case PathRole:
        return path;
    case Qt::TextAlignmentRole:
        return index.column() == 1 ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    default:
        return {};
    }
}

QVariant MediaItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? tr_("Name") : tr_("Time");
}

Qt::ItemFlags MediaItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList MediaItemModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* MediaItemModel::mimeData(const QModelIndexList& indexes) const {
    QList<QUrl> urls;
    QSet<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && !rows.contains(index.row())) {
            rows.insert(index.row());
            urls << QUrl::fromLocalFile(items.value(index.row()));
        }
    auto* mime = new QMimeData; // the drag takes it
    mime->setUrls(urls);
    return mime;
}

void MediaItemModel::request(const QString& path) const {
    if (done.contains(path) || pending.contains(path))
        return;
    pending.insert(path);
    auto* self = const_cast<MediaItemModel*>(this);
    const Kind kind = mediaKind;
    pool.start([self, poster = gate.poster(), path, kind] {
        QImage picture;
        double seconds = -1.0;
        if (kind == Kind::Images)
            picture = readPictureThumbnail(path);
        else if (kind == Kind::Movies)
            picture = readMovieThumbnail(path);
        else if (const auto asset = platform::media::MediaAsset::open(path, false); asset.isValid())
            seconds = asset.duration().seconds();
        poster.post([self, path, picture, seconds] { self->received(path, picture, seconds); });
    });
}

void MediaItemModel::received(const QString& path, const QImage& picture, double seconds) {
    pending.remove(path);
    done.insert(path, true);
    if (!picture.isNull())
        thumbnails.insert(path, picture);
    if (seconds >= 0.0)
        durations.insert(path, seconds);
    const int row = int(items.indexOf(path));
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    if (pending.isEmpty())
        emit becameIdle();
}
