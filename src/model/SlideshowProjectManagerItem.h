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
// The entry owns one folder in the Documents folder and the movies named after it there; whatever a
// stored name says, nothing outside those is ever created or deleted through an entry.
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
    // The older movie names, inside the entry's folder: "<folder>/VIDEO_%dx%d.MOV" and
    // "./<short folder name>/VIDEO_%dx%d.MOV"; empty when the entry has no folder of its own.
    QString videoOutputFullPath_Ver230(const QSizeF& size) const;
    QString videoOutputRelativePath_Ver230(const QSizeF& size) const;
    // The entry's movies in the Documents folder, by name: "<prefix>-<height>p.MOV"; when there is none,
    // those named after the titles the entry bore before its present one. Empty without a prefix, and for
    // a folder name that is not one entries are given (SlideshowProjectManager::isEntryFolderName).
    QStringList videoOutputFileExistArray() const;
    // Removes those movies (a link is removed, never followed); true when every one went or there was
    // none.
    bool deleteOutputVideoFile() const;

    // ---- the entry's folder in the Documents folder
    // "<Documents>/<short folder name>", made when missing; empty when the stored name is not one entries'
    // folders are given (SlideshowProjectManager::isEntryFolderName).
    QString projectFullPath() const;
    // "<entry folder>/SlideshowProject.inf"; empty without a folder of its own.
    QString strProjectInfoFileFullPath() const;
    // Whether the entry's folder holds a project archive ("SlideshowProject.dat").
    bool hasProjectArchive() const;
    // Deletes the entry's folder and everything in it; a link standing for the folder, or inside it, is
    // removed and never followed. True when it is gone or was never there; false, touching nothing, when
    // the stored name is not one an entry's folder is given (SlideshowProjectManager::isEntryFolderName) or
    // when the folder holds a project.
    bool deleteProjectFolder() const;

    QString strProjectShortFolderName() const;
    void setStrProjectShortFolderName(const QString& name);
    QString strProjectTitle() const;
    // A new title drops the movies made under the old one (and any already named after the new one); the
    // old one is remembered among the entry's earlier titles.
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
    // "<Documents>/<short folder name>" when the name is the entry's own folder's, without making it.
    QString ownFolderPath() const;
    // The title's movie-name prefix for this entry's folder; null for an empty title.
    QString moviePrefix(const QString& title) const;
    // The names in the Documents folder of "<one of the prefixes>-<height>p.MOV", sorted.
    static QStringList moviesNamed(const QStringList& prefixes);

    // Threads: the main thread edits an entry while export threads record encodings in it; every field is
    // guarded, together, in `fields`.
    struct Fields {
        QString shortFolderName, title, thumbnailPath, uploadTitle, uploadDesc;
        QVariantMap refreshDates;
        QStringList earlierTitles; // not stored: what an archive says of them may be anybody's
    };
    platform::Guarded<Fields> fields;
};

using SlideshowProjectManagerItemRef = std::shared_ptr<SlideshowProjectManagerItem>;
