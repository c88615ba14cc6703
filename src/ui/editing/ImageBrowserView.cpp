#include "ui/editing/ImageBrowserView.h"

#include "platform/image/PictureReading.h"

#include <QDataStream>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QUuid>

#include <memory>

namespace {

// The dragging view's token, then the indexes: only the view that made a drag reads its indexes.
QByteArray encodeIndexes(const QByteArray& token, const ImageBrowserDataSource::IndexSet& indexes) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << token;
    for (std::size_t index : indexes)
        out << quint64(index);
    return bytes;
}

ImageBrowserDataSource::IndexSet decodeIndexes(const QByteArray& token, const QByteArray& bytes) {
    ImageBrowserDataSource::IndexSet indexes;
    QDataStream in(bytes);
    QByteArray from;
    in >> from;
    if (in.status() != QDataStream::Ok || from != token)
        return indexes;
    while (!in.atEnd()) {
        quint64 index = 0;
        in >> index;
        if (in.status() != QDataStream::Ok)
            break;
        indexes.insert(std::size_t(index));
    }
    return indexes;
}

} // namespace

// ---- the model

ImageBrowserModel::ImageBrowserModel(ImageBrowserDataSource& dataSource, QObject* parent)
    : QAbstractListModel(parent), source(dataSource) {}

int ImageBrowserModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(0, source.numberOfItemsInImageBrowser());
}

QVariant ImageBrowserModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return source.imageBrowserItemTitle(index.row());
    case Qt::DecorationRole:
        return thumbnail(source.imageBrowserItemPath(index.row()));
    case Qt::ToolTipRole:
        return source.imageBrowserItemPath(index.row());
    default:
        return {};
    }
}

Qt::ItemFlags ImageBrowserModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

void ImageBrowserModel::reload() {
    beginResetModel();
    endResetModel();
}

// JPEG readers decode straight at the small size, so a full-size picture is never held.
QPixmap ImageBrowserModel::thumbnail(const QString& path) const {
    const auto found = thumbnails.constFind(path);
    if (found != thumbnails.constEnd())
        return *found;
    const QSize bound(kThumbnailSide, kThumbnailSide * 3 / 4);
    QPixmap picture = QPixmap::fromImage(platform::image::readPicture(path, {bound}).image);
    if (!picture.isNull()) // a picture still being written is read again next time
        thumbnails.insert(path, picture);
    return picture;
}

// ---- the view

ImageBrowserView::ImageBrowserView(ImageBrowserDataSource& dataSource, QWidget* parent)
    : QListView(parent), source(dataSource), items(new ImageBrowserModel(dataSource, this)),
      dragToken(QUuid::createUuid().toByteArray()) {
    setObjectName("imageBrowser");
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setUniformItemSizes(true);
    // Room for a wide picture and its title; an upright one takes the box's height.
    const int side = ImageBrowserModel::kThumbnailSide;
    setIconSize(QSize(side, side * 3 / 4));
    setGridSize(QSize(side + 16, side * 3 / 4 + 28));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setModel(items);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { source.imageBrowserSelectionDidChange(selectionIndexes()); });
}

void ImageBrowserView::setAllowsReordering(bool allowed) {
    reordering = allowed;
    setDragEnabled(allowed);
    setAcceptDrops(allowed);
    // Drags arrive at the widget under the pointer that takes drops: the viewport, whose events reach the
    // handlers below; the scroll area itself would let them pass unanswered.
    viewport()->setAcceptDrops(allowed);
    setDropIndicatorShown(allowed);
    setDragDropMode(allowed ? QAbstractItemView::DragDrop : QAbstractItemView::NoDragDrop);
}

void ImageBrowserView::reloadData() {
    items->reload();
}

ImageBrowserDataSource::IndexSet ImageBrowserView::selectionIndexes() const {
    ImageBrowserDataSource::IndexSet indexes;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        indexes.insert(std::size_t(index.row()));
    return indexes;
}

void ImageBrowserView::setSelectionIndexes(const ImageBrowserDataSource::IndexSet& indexes) {
    QItemSelection selection;
    for (std::size_t row : indexes) {
        const QModelIndex index = items->index(int(row));
        if (index.isValid())
            selection.select(index, index);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::size_t ImageBrowserView::dropDestination(const QPoint& point) const {
    const QModelIndex under = indexAt(point);
    if (!under.isValid()) {
        // Past the end of a row or below the last one: after the last item before the point.
        int last = -1;
        for (int row = 0; row < items->rowCount(); ++row) {
            const QRect rect = visualRect(items->index(row));
            if (rect.top() <= point.y() && (rect.left() <= point.x() || rect.bottom() < point.y()))
                last = row;
        }
        return std::size_t(last + 1);
    }
    const QRect rect = visualRect(under);
    return std::size_t(under.row() + (point.x() > rect.center().x() ? 1 : 0));
}

bool ImageBrowserView::dropItems(const ImageBrowserDataSource::IndexSet& indexes, const QPoint& point) {
    if (!reordering || indexes.empty())
        return false;
    const bool moved = source.imageBrowserMoveItemsAtIndexes(indexes, dropDestination(point));
    reloadData();
    return moved;
}

// Our own drag: the items stay where they are until the drop moves them, whatever the drag answers.
void ImageBrowserView::startDrag(Qt::DropActions) {
    const ImageBrowserDataSource::IndexSet indexes = selectionIndexes();
    if (indexes.empty())
        return;
    auto data = std::make_unique<QMimeData>();
    data->setData(dragMimeType(), encodeIndexes(dragToken, indexes));
    QPointer<QDrag> drag = new QDrag(this); // let go once the drag has ended
    drag->setMimeData(data.release());      // the drag takes it
    const QVariant picture = items->data(items->index(int(*indexes.begin())), Qt::DecorationRole);
    if (picture.canConvert<QPixmap>())
        drag->setPixmap(picture.value<QPixmap>().scaled(64, 64, Qt::KeepAspectRatio));
    if (dragRunner)
        dragRunner(*drag);
    else
        drag->exec(Qt::MoveAction);
    if (drag)
        drag->deleteLater();
}

ImageBrowserDataSource::IndexSet ImageBrowserView::ownDraggedIndexes(const QMimeData* data) const {
    if (!reordering || !data || !data->hasFormat(dragMimeType()))
        return {};
    return decodeIndexes(dragToken, data->data(dragMimeType()));
}

void ImageBrowserView::dragEnterEvent(QDragEnterEvent* event) {
    if (!ownDraggedIndexes(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageBrowserView::dragMoveEvent(QDragMoveEvent* event) {
    if (!ownDraggedIndexes(event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageBrowserView::dropEvent(QDropEvent* event) {
    const ImageBrowserDataSource::IndexSet indexes = ownDraggedIndexes(event->mimeData());
    if (indexes.empty()) {
        event->ignore();
        return;
    }
    dropItems(indexes, event->position().toPoint());
    event->acceptProposedAction();
}

void ImageBrowserView::keyPressEvent(QKeyEvent* event) {
    const bool removal = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (!removal || !removing) {
        QListView::keyPressEvent(event);
        return;
    }
    const ImageBrowserDataSource::IndexSet indexes = selectionIndexes();
    if (!indexes.empty()) {
        source.imageBrowserRemoveItemsAtIndexes(indexes);
        reloadData();
    }
    event->accept();
}
