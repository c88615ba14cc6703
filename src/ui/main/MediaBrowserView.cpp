#include "ui/main/MediaBrowserView.h"

#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QSplitter>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QString existing(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir() ? QDir(path).absolutePath() : QString();
}

QAbstractItemView* makeItemView(MediaItemModel::Kind kind, QWidget* parent) {
    if (kind == MediaItemModel::Kind::Audio) {
        auto* list = new QTreeView(parent);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        return list;
    }
    auto* grid = new QListView(parent);
    grid->setViewMode(QListView::IconMode);
    grid->setIconSize(MediaItemModel::kThumbnailSize);
    grid->setGridSize(MediaItemModel::kThumbnailSize + QSize(16, 30));
    grid->setResizeMode(QListView::Adjust);
    grid->setMovement(QListView::Static);
    grid->setUniformItemSizes(true);
    grid->setWordWrap(false);
    grid->setTextElideMode(Qt::ElideMiddle);
    return grid;
}

} // namespace

std::vector<MediaBrowserView::Source> MediaBrowserView::sources() {
    std::vector<Source> found;
    const std::pair<QString, QString> candidates[] = {
        {tr_("Pictures"), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)},
        {tr_("Movies"), platform::paths::moviesFolder()},
        {tr_("Music"), QStandardPaths::writableLocation(QStandardPaths::MusicLocation)},
    };
    const QString home = QDir::homePath();
    for (const auto& [title, path] : candidates)
        if (const QString folder = existing(path); !folder.isEmpty() && folder != home)
            found.push_back({title, folder});
    found.push_back({tr_("Home"), home});
    return found;
}

QString MediaBrowserView::startFolder(MediaItemModel::Kind kind) {
    const QString own = kind == MediaItemModel::Kind::Images   ? tr_("Pictures")
                        : kind == MediaItemModel::Kind::Movies ? tr_("Movies")
                                                               : tr_("Music");
    const std::vector<Source> all = sources();
    for (const Source& source : all)
        if (source.title == own)
            return source.path;
    return all.back().path;
}

MediaBrowserView::MediaBrowserView(MediaItemModel::Kind kind, QWidget* parent)
    : QWidget(parent), items(new MediaItemModel(kind, this)), folders(new QFileSystemModel(this)),
      roots(sources()) {
    folders->setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    folders->setReadOnly(true);
    sourceChoice = new QComboBox(this);
    sourceChoice->setObjectName("sourcePopup");
    for (const Source& source : roots)
        sourceChoice->addItem(source.title, source.path);

    auto* split = new QSplitter(Qt::Vertical, this);
    tree = new QTreeView(split);
    tree->setObjectName("folderTree");
    tree->setModel(folders);
    tree->setHeaderHidden(true);
    for (int column = 1; column < folders->columnCount(); ++column)
        tree->hideColumn(column);
    itemsView = makeItemView(kind, split);
    itemsView->setObjectName("itemView");
    itemsView->setModel(items);
    if (auto* list = qobject_cast<QTreeView*>(itemsView.data())) {
        list->header()->setStretchLastSection(false);
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    }
    itemsView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    itemsView->setDragEnabled(true);
    itemsView->setDragDropMode(QAbstractItemView::DragOnly);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    column->addWidget(sourceChoice);
    column->addWidget(split, 1);

    connect(sourceChoice, &QComboBox::activated, this, &MediaBrowserView::chooseSource);
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { folderChosen(current); });
    showFolder(startFolder(kind));
}

void MediaBrowserView::chooseSource(int row) {
    if (row >= 0 && std::size_t(row) < roots.size())
        showFolder(roots[std::size_t(row)].path);
}

void MediaBrowserView::showFolder(const QString& path) {
    const QString folder = QDir(path).absolutePath();
    // The deepest source holding the folder is the tree's root.
    int best = -1;
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const QString& root = roots[i].path;
        const bool inside = folder == root || folder.startsWith(root + '/');
        if (inside && (best < 0 || root.size() > roots[std::size_t(best)].path.size()))
            best = int(i);
    }
    const QString rootPath = best >= 0 ? roots[std::size_t(best)].path : folder;
    if (best >= 0)
        sourceChoice->setCurrentIndex(best);
    if (folders->rootPath() != rootPath) {
        folders->setRootPath(rootPath);
        tree->setRootIndex(folders->index(rootPath));
    }
    items->setFolder(folder);
    if (folder != rootPath) {
        const QSignalBlocker quiet(tree->selectionModel());
        tree->setCurrentIndex(folders->index(folder));
    }
}

void MediaBrowserView::folderChosen(const QModelIndex& index) {
    if (index.isValid())
        items->setFolder(folders->filePath(index));
}
