#include "model/MusicItem.h"

#include "model/ArchiveCoding.h"
#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/AudioReader.h"
#include "platform/media/MediaAsset.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

const QString kFilePath = QStringLiteral("filePath");
const QString kPureFileName = QStringLiteral("pureFileName");
const QString kTitleFromFileName = QStringLiteral("titleFromFileName");
const QString kMusicSource = QStringLiteral("musicSource");
const QString kNumberDuration = QStringLiteral("numberDuration");
const QString kStrTitle = QStringLiteral("strTitle");
const QString kBundleDefaultMusic = QStringLiteral("bundleDefaultMusic");

// The length of the file's first audio stream, measured from its packets; 0 without sound.
double firstAudioTrackSeconds(const QString& path) {
    const auto asset = platform::media::MediaAsset::open(path, true);
    if (!asset.isValid() || !asset.hasAudio())
        return 0.0;
    return asset.audioTimeRange().duration.seconds();
}

std::mutex measurerMutex;
MusicItem::DurationMeasurer& measurerSlot() {
    static MusicItem::DurationMeasurer measurer = firstAudioTrackSeconds;
    return measurer;
}

// Truncation toward zero into 32 bits, without the undefined behaviour of out-of-range values.
int truncatedSeconds(double seconds) {
    if (std::isnan(seconds))
        return 0;
    if (seconds >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (seconds <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(seconds);
}

QString twoDigits(int value) {
    return QString::asprintf("%02i", value);
}

// A song file is a regular file (or a link to one); anything else, a device above all, counts as missing.
bool isSongFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The song's copy in the "Contents" folder. Only the stored name's last component counts, as with slide
// files: a name such as "../../../../dev/stdin" must not reach outside the project. While nothing is there
// the path stands for the missing copy; anything else but the project's own file, a link that leads out
// of the project above all, leaves the song without a copy, so that no other file is ever measured or
// played in its place.
QString copyPathIn(const QVariantMap& song, const QString& contentsFolder) {
    return ContentsFolder::nameInContents(song.value(kPureFileName).toString().section(QLatin1Char('/'), -1),
                                          contentsFolder);
}

// The stock song as stored: only a file among our own resources, never one a received project names.
bool isOurStockSong(const QString& path) {
    return !ContentsFolder::resourceFile(path).isEmpty();
}

// A folder of an application's resources (an application bundle's or ours) that is gone: the song was
// stored by a copy of the application elsewhere, or before this one moved.
bool inVanishedResourceFolder(const QString& path) {
    if (path.isEmpty() || QFileInfo(path).dir().exists())
        return false;
    const QString folder = QFileInfo(path).path();
    return QFileInfo(folder).fileName().compare(QLatin1String("Resources"), Qt::CaseInsensitive) == 0 ||
           folder.endsWith(QLatin1String("/share/vistrelle"));
}

// The file a song plays. The stock song plays from the application's resource while that is where it was
// stored; a stored resource that is gone is replaced by our own stock song, else by the song's copy, so
// that the song is never lost to a path of another installation.
QString songFilePath(const QVariantMap& song, const QString& contentsFolder) {
    const QString stored = song.value(kFilePath).toString();
    const QString copy = copyPathIn(song, contentsFolder);
    const bool stock = song.value(kMusicSource).toString() == kBundleDefaultMusic;
    if (stock && isOurStockSong(stored))
        return stored;
    if (!stock && (isSongFile(copy) || !inVanishedResourceFolder(stored)))
        return copy;
    const QString resource =
        platform::paths::pathForResource(QStringLiteral("default"), QStringLiteral("mp3"));
    if (!resource.isEmpty())
        return resource;
    return copy;
}

} // namespace

MusicItem::MusicItem() = default;

MusicItem::~MusicItem() {
    platform::checkDestroyedOnMainThread("a song");
}

std::shared_ptr<MusicItem> MusicItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto item = platform::makeMainThreadShared<MusicItem>();
    // A song stored without its dictionary reads as an empty one, so later lookups see no entries
    // rather than nothing at all.
    item->dictionary = archive::decodeMap(coder, QStringLiteral("fileMediaItem")).value_or(QVariantMap());
    return item;
}

void MusicItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(QVariant(dictFileMediaItem()), QStringLiteral("fileMediaItem"));
}

QString MusicItem::timeToString(double seconds, bool wide, bool trim) {
    const int s = truncatedSeconds(seconds);
    const int hours = s / 3600;
    const int minutes = (s - 3600 * hours) / 60;
    const int rest = s - 3600 * hours - 60 * minutes;
    if (trim && s >= -3599 && s <= 3599)
        return twoDigits(minutes) + (wide ? " : " : ":") + twoDigits(rest);
    const QString separator = wide ? QStringLiteral(" : ") : QStringLiteral(":");
    return QString::number(hours) + separator + twoDigits(minutes) + separator + twoDigits(rest);
}

void MusicItem::setDurationMeasurer(DurationMeasurer measurer) {
    std::lock_guard lock(measurerMutex);
    measurerSlot() = measurer ? std::move(measurer) : DurationMeasurer(firstAudioTrackSeconds);
}

double MusicItem::songDuration(const QString& path) {
    if (!isSongFile(path))
        return 0.0;
    DurationMeasurer measurer;
    {
        std::lock_guard lock(measurerMutex);
        measurer = measurerSlot();
    }
    if (!measurer)
        return 0.0;
    const double seconds = measurer(path);
    return std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
}

double MusicItem::songDuration_1(const QString& path) {
    if (!isSongFile(path))
        return 0.0;
    auto sound = songComposition(path);
    if (!sound)
        return 0.0;
    const platform::media::AudioPlayer player(std::move(*sound), platform::media::AudioMix());
    const double seconds = player.duration().seconds();
    return std::isfinite(seconds) && seconds > 0.0 ? seconds : 0.0;
}

std::optional<platform::media::Composition> MusicItem::songComposition(const QString& path) {
    const auto file = platform::media::MediaAsset::open(path, true);
    if (!file.isValid() || !file.hasAudio())
        return std::nullopt;
    platform::media::Composition sound;
    if (!sound.addTrack().insertTimeRange(
            file.audioTimeRange(), file,
            platform::media::MediaTime(0, platform::media::MediaTime::kDefaultTimescale)))
        return std::nullopt;
    return sound;
}

double MusicItem::musicItemDuration(MusicItem* item) {
    if (!item)
        return 0.0;
    return item->durationIn(ContentsFolder::ofOpenProject());
}

double MusicItem::durationIn(const QString& contentsFolder) {
    std::lock_guard lock(mutex);
    if (dictionary.contains(kNumberDuration))
        return dictionary.value(kNumberDuration).toDouble();
    const QString path = copyPathIn(dictionary, contentsFolder);
    double seconds = songDuration(path);
    if (seconds <= 0.0 && !isSongFile(path))
        seconds = songDuration(songFilePath(dictionary, contentsFolder));
    // A failed measurement is not remembered: the archive would keep the 0 for good.
    if (seconds > 0.0)
        dictionary.insert(kNumberDuration, seconds);
    return seconds;
}

QString MusicItem::musicItemTitleFromItemFileName(const MusicItem* item) {
    return item ? item->titleFromFileName() : QString();
}

QString MusicItem::musicItemTitleFromFileName(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString extension = info.suffix();
    if (extension.isEmpty())
        return name;
    QString title = name;
    title.remove("." + extension, Qt::CaseInsensitive);
    return title;
}

QString MusicItem::strFilePath() const {
    return strFilePathIn(ContentsFolder::ofOpenProject());
}

QString MusicItem::strFilePathIn(const QString& contentsFolder) const {
    std::lock_guard lock(mutex);
    return songFilePath(dictionary, contentsFolder);
}

bool MusicItem::isUsableIn(const QString& contentsFolder) const {
    const QString path = strFilePathIn(contentsFolder);
    if (path.isEmpty() || !QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        return false;
    if (!platform::media::AudioReader::firstSoundDecodes(path))
        return false;
    const std::optional<double> recorded = recordedDuration();
    return !recorded || !platform::media::isClearlyShorter(songDuration(path), *recorded);
}

std::optional<double> MusicItem::recordedDuration() const {
    std::lock_guard lock(mutex);
    const double seconds = dictionary.value(kNumberDuration).toDouble();
    return std::isfinite(seconds) && seconds > 0.0 ? std::optional<double>(seconds) : std::nullopt;
}

QString MusicItem::strCopyPathIn(const QString& contentsFolder) const {
    std::lock_guard lock(mutex);
    return copyPathIn(dictionary, contentsFolder);
}

QString MusicItem::strTitle() const {
    std::lock_guard lock(mutex);
    const QString title = dictionary.value(kStrTitle).toString();
    return title.isEmpty() ? dictionary.value(kTitleFromFileName).toString() : title;
}

QString MusicItem::titleFromFileName() const {
    std::lock_guard lock(mutex);
    return dictionary.value(kTitleFromFileName).toString();
}

bool MusicItem::addEntriesFromDictionary(const QVariantMap& entries) {
    std::lock_guard lock(mutex);
    dictionary.insert(entries);
    return true;
}

float MusicItem::fltOutputVolumeWhenPhotos() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->fltBackgroundMusicVolumeWhenPhotos()
                   : SlideshowProject::kDefaultVolumeWhenPhotos;
}

float MusicItem::fltOutputVolumeWhenVideos() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->fltBackgroundMusicVolumeWhenVideos()
                   : SlideshowProject::kDefaultVolumeWhenVideos;
}

QVariantMap MusicItem::dictFileMediaItem() const {
    std::lock_guard lock(mutex);
    return dictionary;
}

void MusicItem::setDictFileMediaItem(const QVariantMap& value) {
    std::lock_guard lock(mutex);
    dictionary = value;
}

QRectF MusicItem::timelineRect() const {
    std::lock_guard lock(mutex);
    return rect;
}

void MusicItem::setTimelineRect(const QRectF& value) {
    std::lock_guard lock(mutex);
    rect = value;
}

// ---- filing songs

namespace {

void insertText(QVariantMap& info, const QString& key, const QString& value) {
    if (!value.trimmed().isEmpty())
        info.insert(key, value);
}

// Tags may hold several names in one value, separated by semicolons.
QVariantList authorsOf(const QVariantMap& tags) {
    QVariantList authors;
    for (const QString& name : tags.value("artist").toString().split(';')) {
        if (!name.trimmed().isEmpty())
            authors.append(name.trimmed());
    }
    return authors;
}

} // namespace

QVariantMap MusicItem::songInfoFromFile(const QString& path) {
    QVariantMap info;
    const auto asset = QFileInfo(path).isFile() ? platform::media::MediaAsset::open(path, true)
                                                : platform::media::MediaAsset();
    const QVariantMap tags = asset.isValid() ? asset.metadata() : QVariantMap();
    const QString title = tags.value("title").toString().trimmed();
    insertText(info, kStrTitle, title.isEmpty() ? musicItemTitleFromFileName(path) : title);
    double seconds = asset.isValid() && asset.hasAudio() ? asset.audioTimeRange().duration.seconds() : 0.0;
    if (!(std::isfinite(seconds) && seconds > 0.0))
        seconds = songDuration(path);
    if (seconds > 0.0)
        info.insert(kNumberDuration, seconds);
    insertText(info, "strAlbum", tags.value("album").toString());
    if (asset.isValid() && asset.sampleRate() > 0)
        info.insert("strAudioSampleRate", asset.sampleRate());
    insertText(info, "strGenre", tags.value("genre").toString());
    const QVariantList authors = authorsOf(tags);
    if (!authors.isEmpty())
        info.insert("arrayAuthors", authors);
    insertText(info, "strComposer", tags.value("composer").toString());
    return info;
}

QVariantMap MusicItem::songDictionaryForImport(const QString& path, const QString& contentsFolder,
                                               QString* error) {
    // A file whose sound has no length is no song, whatever its name says: it would play as 0 s.
    const QVariantMap info = songInfoFromFile(path);
    if (!info.contains(kNumberDuration)) {
        if (error)
            *error = tr_("\"%1\" is not a song: it holds no sound whose length can be measured.")
                         .arg(QFileInfo(path).fileName());
        return {};
    }
    const QString copy =
        ContentsFolder::copyUnderFreeName(path, contentsFolder, ContentsFolder::songCopyName(path), error);
    if (copy.isEmpty())
        return {};
    QVariantMap song{
        {kFilePath, path}, {kPureFileName, copy}, {kTitleFromFileName, QFileInfo(path).completeBaseName()}};
    song.insert(info);
    return song;
}
