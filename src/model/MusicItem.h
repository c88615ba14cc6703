#pragma once

#include "platform/foundation/KeyedArchive.h"
#include "platform/media/Composition.h"

#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One background song of a project: its song dictionary (file, copy in "Contents", title, cached
// duration, metadata), where it starts on the music strip and where the timeline draws it.
class MusicItem : public platform::Archivable {
public:
    // Measures a song file's length in seconds (0 when it has no sound). The media layer's reader of the
    // first audio stream is the default; tests may install another (null puts the default back).
    using DurationMeasurer = std::function<double(const QString& path)>;

    MusicItem();
    // On the main thread only (platform::makeMainThreadShared).
    ~MusicItem() override;

    static std::shared_ptr<MusicItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("MusicItem")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    static QString timeToString(double seconds, bool wide, bool trim);
    // 0 for a missing file, one without sound or one that cannot be read.
    static double songDuration(const QString& path);
    static void setDurationMeasurer(DurationMeasurer measurer);
    // The length that a player opened on the file reports; 0 as with songDuration.
    static double songDuration_1(const QString& path);
    // A song file's whole sound on one track from time 0, as a player plays it; none without sound.
    static std::optional<platform::media::Composition> songComposition(const QString& path);
    // The cached "numberDuration" (a cached 0 too), else the copy in the open project's "Contents"
    // measured (the resource for the default song whose copy is missing) and cached. A measurement
    // that fails answers 0 and is not cached, so a later call measures again.
    static double musicItemDuration(MusicItem* item);
    static QString musicItemTitleFromItemFileName(const MusicItem* item);
    static QString musicItemTitleFromFileName(const QString& path);
    // The song dictionary entries that a file's tags and sound give: "strTitle" (the tag, else the
    // title from the file name), "numberDuration" (only when the length could be measured), "strAlbum",
    // "strAudioSampleRate", "strGenre", "arrayAuthors", "strComposer" (each only when known).
    static QVariantMap songInfoFromFile(const QString& path);
    // Files a song: copies it into contentsFolder under a fresh "%@-%.2f.%@" name and answers its
    // dictionary ("filePath", "pureFileName", "titleFromFileName" and songInfoFromFile). Empty, with
    // a message in *error, when the file is no song (its sound's length cannot be measured or is 0:
    // a text or a picture named ".mp3", say) or the copy failed. Every song import goes through here.
    static QVariantMap songDictionaryForImport(const QString& path, const QString& contentsFolder,
                                               QString* error = nullptr);

    double duration() { return musicItemDuration(this); }
    // The duration, measuring the copy in the given "Contents" folder when none is cached.
    double durationIn(const QString& contentsFolder);
    QString durationStr() { return timeToString(duration(), false, true); }
    // The file to play, taking the "Contents" folder of the open project.
    QString strFilePath() const;
    // The same, for a project whose "Contents" folder is given.
    QString strFilePathIn(const QString& contentsFolder) const;
    // Whether an export can read that file: it is there, holds something, its first sound decodes and it
    // holds about as much sound as the song's recorded length.
    bool isUsableIn(const QString& contentsFolder) const;
    // The length cached when the song was measured (what the window shows), when there is one.
    std::optional<double> recordedDuration() const;
    // The song's copy in the given "Contents" folder, by the same rule, whether the song plays it or not
    // (the stock song keeps one it does not play); empty when the song names none.
    QString strCopyPathIn(const QString& contentsFolder) const;
    QString strTitle() const;
    QString titleFromFileName() const;
    bool addEntriesFromDictionary(const QVariantMap& entries);

    // The song has no level of its own: these are the open project's background-music levels.
    float fltOutputVolumeWhenPhotos() const;
    float fltOutputVolumeWhenVideos() const;

    QVariantMap dictFileMediaItem() const;
    void setDictFileMediaItem(const QVariantMap& dictionary);
    float fStartPosition() const { return startPosition; }
    void setFStartPosition(float seconds) { startPosition = seconds; }
    QRectF timelineRect() const;
    void setTimelineRect(const QRectF& rect);
    bool bSelectedState() const { return selected; }
    void setBSelectedState(bool value) { selected = value; }

private:
    mutable std::mutex mutex; // the dictionary is filled in by whichever thread measures first
    QVariantMap dictionary;
    float startPosition = 0.0f;
    QRectF rect;
    bool selected = false;
};

using MusicItemRef = std::shared_ptr<MusicItem>;
