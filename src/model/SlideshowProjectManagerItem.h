#pragma once

#include "platform/foundation/Guarded.h"
#include "platform/foundation/KeyedArchive.h"

#include <QDateTime>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>

// An entry of the project manager, from the days when the projects were listed in the Documents
// folder: its folder name, title, thumbnail and the dates of its last encodings per size and format.
// The routines that deleted entry folders and movies in the Documents folder are not part of it.
class SlideshowProjectManagerItem : public platform::Archivable {
public:
    SlideshowProjectManagerItem() = default;

    static std::shared_ptr<SlideshowProjectManagerItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideshowProjectManagerItem")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    // "video_%dx%d_%@" of width, height and the lower-case output format.
    static QString encodingRecordKey(const QSizeF& size, const QString& format);
    void recordEncoding(const QSizeF& size, const QString& format, const QDateTime& date);
    // Invalid when no encoding of that kind was recorded.
    QDateTime lastEncodingDate(const QSizeF& size, const QString& format) const;

    // The folder's name less its "SlideshowProject" prefix; null when there is no folder name.
    QString videoOutputFileNameMiddleOne() const;
    // The title with the characters a file name cannot hold replaced by "-", then "-" and the middle
    // part; null when there is no title.
    QString videoOutputFileNamePrefix() const;
    // "<Documents>/<prefix>-<height>p.MOV" and "./<prefix>-<height>p.MOV".
    QString videoOutputFullPath(const QSizeF& size) const;
    QString videoOutputRelativePath(const QSizeF& size) const;

    QString strProjectShortFolderName() const;
    void setStrProjectShortFolderName(const QString& name);
    QString strProjectTitle() const;
    // Stores the title; the movies of the old title are left where they are.
    void setStrProjectTitle(const QString& title);
    // The stored path (relative to the Documents folder) made absolute; null when there is none.
    QString strThumbnailFilePath() const;
    void setStrThumbnailFilePath(const QString& path);
    QVariantMap dictFileRefreshDate() const;
    void setDictFileRefreshDate(const QVariantMap& dates);
    QString strUploadTitle() const;
    void setStrUploadTitle(const QString& title);
    QString strUploadDesc() const;
    void setStrUploadDesc(const QString& description);

private:
    // Threads: the main thread edits an entry while export threads record encodings in it; every field is
    // guarded, together, in `fields`.
    struct Fields {
        QString shortFolderName, title, thumbnailPath, uploadTitle, uploadDesc;
        QVariantMap refreshDates;
    };
    platform::Guarded<Fields> fields;
};

using SlideshowProjectManagerItemRef = std::shared_ptr<SlideshowProjectManagerItem>;
