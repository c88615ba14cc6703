#pragma once

#include "ui/main/MediaItemModel.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPointer>
#include <QTreeView>
#include <QWidget>

#include <vector>

class QFileSystemModel;

// One media browser of the side panel: a choice of source (Pictures, Movies, Music, the home folder), the
// folder tree of that source, and the media of the chosen folder (an icon grid of pictures or movies, or a
// list of songs with their lengths). Items are dragged out onto the timeline as files.
class MediaBrowserView : public QWidget {
    Q_OBJECT
public:
    struct Source {
        QString title, path;
    };

    explicit MediaBrowserView(MediaItemModel::Kind kind, QWidget* parent = nullptr);

    // The sources that exist on this machine; the home folder always.
    static std::vector<Source> sources();
    // The source a browser of that kind starts in (its own kind's folder when there is one).
    static QString startFolder(MediaItemModel::Kind kind);

    // Shows the folder's media and selects it in the tree (changing source when it lies outside).
    void showFolder(const QString& path);
    MediaItemModel* itemModel() const { return items; }
    QAbstractItemView* itemView() const { return itemsView; }
    QTreeView* folderTree() const { return tree; }
    QComboBox* sourcePopup() const { return sourceChoice; }

private:
    void chooseSource(int row);
    void folderChosen(const QModelIndex& index);

    MediaItemModel* items;
    QFileSystemModel* folders;
    QPointer<QComboBox> sourceChoice;
    QPointer<QTreeView> tree;
    QPointer<QAbstractItemView> itemsView;
    std::vector<Source> roots;
};
