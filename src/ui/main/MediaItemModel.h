#pragma once

#include "platform/foundation/MainThread.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QStringList>
#include <QThreadPool>

// The media files of one folder for the media browser: pictures and movies with thumbnails, songs with their
// lengths, both read lazily on a small pool of threads when a view first asks. Items drag out as file URLs
// ("text/uri-list"), which the timeline takes as dropped files.
class MediaItemModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Images, Movies, Audio };
    static constexpr QSize kThumbnailSize{96, 72};
    static constexpr int PathRole = Qt::UserRole + 1;

    explicit MediaItemModel(Kind kind, QObject* parent = nullptr);
    // Waits for the reads under way (each is short: one picture or one file header).
    ~MediaItemModel() override;

    // The files of that kind directly in the folder (hidden ones left out), by name, case-blind.
    static QStringList listMedia(const QString& folder, Kind kind);

    Kind kind() const { return mediaKind; }
    QString folder() const { return currentFolder; }
    void setFolder(const QString& folder);
    QStringList files() const { return items; }
    // No thumbnail or length is being read.
    bool isIdle() const { return pending.isEmpty(); }
    // The thumbnail read for a file (null while unread or unreadable).
    QImage thumbnail(const QString& path) const { return thumbnails.value(path); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

signals:
    void becameIdle();

private:
    // Starts reading what the file needs, once.
    void request(const QString& path) const;
    void received(const QString& path, const QImage& picture, double seconds);

    Kind mediaKind;
    QString currentFolder;
    QStringList items;
    mutable QSet<QString> pending;
    QHash<QString, QImage> thumbnails;
    QHash<QString, double> durations;
    QHash<QString, bool> done;
    mutable QThreadPool pool;
    platform::MainThreadGate gate; // last, so closed first: the pool's tasks post their results through it
};
