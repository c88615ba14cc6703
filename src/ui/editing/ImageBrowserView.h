#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QListView>
#include <QPixmap>

class QDrag;
class QMimeData;

#include <cstddef>
#include <functional>
#include <set>

// Where an image browser gets its items and sends its edits. Indexes count items as the browser shows them.
class ImageBrowserDataSource {
public:
    using IndexSet = std::set<std::size_t>;

    virtual ~ImageBrowserDataSource() = default;
    virtual int numberOfItemsInImageBrowser() const = 0;
    // The picture file an item shows.
    virtual QString imageBrowserItemPath(int index) const = 0;
    virtual QString imageBrowserItemTitle(int index) const = 0;
    virtual void imageBrowserRemoveItemsAtIndexes(const IndexSet& indexes) = 0;
    // Moves the items as one run to `destination`, counted before the move.
    virtual bool imageBrowserMoveItemsAtIndexes(const IndexSet& indexes, std::size_t destination) = 0;
    virtual void imageBrowserSelectionDidChange(const IndexSet& selection) = 0;
};

// The items of a data source, with thumbnails scaled as they are first drawn and kept by path.
class ImageBrowserModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kThumbnailSide = 120;

    explicit ImageBrowserModel(ImageBrowserDataSource& source, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void reload();

private:
    QPixmap thumbnail(const QString& path) const;

    ImageBrowserDataSource& source;
    mutable QHash<QString, QPixmap> thumbnails;
};

// A grid of picture items. Dragging items inside it moves them (the data source decides), Delete and
// Backspace remove the selected ones when removing is allowed.
class ImageBrowserView : public QListView {
    Q_OBJECT
public:
    explicit ImageBrowserView(ImageBrowserDataSource& source, QWidget* parent = nullptr);

    void setAllowsReordering(bool allowed);
    void setAllowsRemoving(bool allowed) { removing = allowed; }
    void reloadData();
    ImageBrowserDataSource::IndexSet selectionIndexes() const;
    void setSelectionIndexes(const ImageBrowserDataSource::IndexSet& indexes);
    // The gap a drop at `point` (viewport coordinates) lands in: before the item under it, or after it
    // when the point lies in its right half; after the last item past the end.
    std::size_t dropDestination(const QPoint& point) const;
    // What a drop of the given items at `point` does: the data source moves them. True when it did.
    bool dropItems(const ImageBrowserDataSource::IndexSet& indexes, const QPoint& point);
    static QString dragMimeType() { return QStringLiteral("application/x-vistrelle-browser-items"); }
    // Tests replace the platform's drag loop: the runner gets the drag this view starts.
    using DragRunner = std::function<void(QDrag& drag)>;
    void setDragRunner(DragRunner runner) { dragRunner = std::move(runner); }

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The items of a drag this view made, none for any other drag.
    ImageBrowserDataSource::IndexSet ownDraggedIndexes(const QMimeData* data) const;

    ImageBrowserDataSource& source;
    ImageBrowserModel* items;
    QByteArray dragToken; // marks the drags this view makes
    DragRunner dragRunner;
    bool reordering = false;
    bool removing = true;
};
