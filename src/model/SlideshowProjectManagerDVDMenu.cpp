// The project manager's DVD menu: its templates, its songs and the length of its slide show.
#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <utility>

namespace {

QByteArray digestOf(const QString& path) {
    QFile file;
    if (!platform::openRegularFile(file, path))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&file) ? hash.result() : QByteArray();
}

// The names the song copies of source are given: "<name>-<seconds>", maybe "-<n>", and the extension;
// the seconds and the number captured.
QRegularExpression copyNamePattern(const QString& source) {
    const QFileInfo info(source);
    const QString extension =
        info.suffix().isEmpty() ? QString() : "\\." + QRegularExpression::escape(info.suffix());
    return QRegularExpression("^" + QRegularExpression::escape(info.completeBaseName()) +
                              "-(\\d+\\.\\d\\d)(?:-(\\d+))?" + extension + "$");
}

// An earlier copy of source in folder: a copy's name and the same bytes.
QString existingCopyOf(const QString& source, const QString& folder) {
    const QFileInfo info(source);
    const QRegularExpression pattern = copyNamePattern(source);
    QByteArray sourceDigest;
    const QFileInfoList candidates = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& candidate : candidates) {
        if (!pattern.match(candidate.fileName()).hasMatch() || candidate.size() != info.size() ||
            ContentsFolder::fileInProject(candidate.filePath(), folder).isEmpty())
            continue;
        if (sourceDigest.isEmpty())
            sourceDigest = digestOf(source);
        if (!sourceDigest.isEmpty() && digestOf(candidate.filePath()) == sourceDigest)
            return candidate.fileName();
    }
    return QString();
}

// The project's latest copy of a file named like source, found by its name alone: the file at source is
// never read. Empty when the project holds none.
QString latestCopyOf(const QString& source, const QString& folder) {
    const QRegularExpression pattern = copyNamePattern(source);
    QString latest;
    std::pair<double, int> latestStamp{-1.0, -1};
    const QFileInfoList candidates = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& candidate : candidates) {
        const QRegularExpressionMatch match = pattern.match(candidate.fileName());
        const std::pair<double, int> stamp{match.captured(1).toDouble(), match.captured(2).toInt()};
        if (match.hasMatch() && stamp > latestStamp &&
            !ContentsFolder::fileInProject(candidate.filePath(), folder).isEmpty()) {
            latest = candidate.filePath();
            latestStamp = stamp;
        }
    }
    return latest;
}

// The dictionary of a menu song whose copy in the project is `copy`.
QVariantMap menuSongOfCopy(const QString& stored, const QString& copy) {
    QVariantMap song{{"filePath", stored},
                     {"pureFileName", QFileInfo(copy).fileName()},
                     {"titleFromFileName", QFileInfo(stored).completeBaseName()}};
    song.insert(MusicItem::songInfoFromFile(copy));
    return song;
}

} // namespace

MusicItemRef SlideshowProjectManager::defaultMenuSong() {
    QString source = platform::paths::pathForResource("default", "mp3");
    if (source.isEmpty())
        source = platform::paths::resourceFolder() + "/default.mp3";
    const QString name = QFileInfo(source).completeBaseName();
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary({{"filePath", source},
                                    {"pureFileName", name},
                                    {"titleFromFileName", name},
                                    {"musicSource", "bundleDefaultMusic"}});
    return song;
}

QVariantMap SlideshowProjectManager::getMusicInfoDict(const QString& path, QString* error) {
    const QString contents = ContentsFolder::ofOpenProject();
    if (contents.isEmpty()) {
        if (error)
            *error = tr_("No project is open to take the song.");
        return {};
    }
    return MusicItem::songDictionaryForImport(path, contents, error);
}

QVariantMap SlideshowProjectManager::menuSongDictionaryForStoredPath(const QString& path, QString* error) {
    const QString contents = ContentsFolder::ofOpenProject();
    if (contents.isEmpty())
        return getMusicInfoDict(path, error);
    const QString copy = existingCopyOf(path, contents);
    if (copy.isEmpty())
        return getMusicInfoDict(path, error);
    QVariantMap song{{"filePath", path},
                     {"pureFileName", copy},
                     {"titleFromFileName", QFileInfo(path).completeBaseName()}};
    song.insert(MusicItem::songInfoFromFile(path));
    return song;
}

QVariantMap SlideshowProjectManager::menuSongInProject(const QString& path, const QString& contentsFolder) {
    if (contentsFolder.isEmpty() || path.isEmpty())
        return {};
    if (const QString own = ContentsFolder::fileInProject(path, contentsFolder); !own.isEmpty()) {
        if (QFileInfo(own).absolutePath() == QDir::cleanPath(contentsFolder))
            return menuSongOfCopy(path, own);
        return menuSongDictionaryForStoredPath(own); // copied into "Contents", as every song is
    }
    const QString copy = latestCopyOf(path, contentsFolder);
    return copy.isEmpty() ? QVariantMap() : menuSongOfCopy(path, copy);
}

void SlideshowProjectManager::readMenuSong(const QString& path) {
    const QVariantMap dictionary = menuSongInProject(path, ContentsFolder::ofOpenProject());
    // A path the project holds no file for counts as no menu song: the menu keeps the default song.
    setDvdBackgroundMusicPath(dictionary.isEmpty() ? QString() : path);
    if (dictionary.isEmpty())
        return;
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary(dictionary);
    setDvdMenuBackgroundMusicArray({song});
}

void SlideshowProjectManager::loadDVDMenuTemplate() {
    std::vector<DVDMenuTemplateRef> loaded;
    for (const QVariant& dictionary : DVDMenuTemplate::templateDictionaries())
        loaded.push_back(DVDMenuTemplate::fromDictionary(dictionary.toMap()));
    const int index = nCurrentDVDMenuSelected();
    shared.with([&](Shared& s) {
        s.templates = std::move(loaded);
        s.currentTemplate =
            index >= 0 && std::size_t(index) < s.templates.size() ? s.templates[std::size_t(index)] : nullptr;
    });
}

double SlideshowProjectManager::dvdMenuSlideTotalDuration() const {
    const std::vector<SlideItemRef> slides = dvdMenuSlideArray();
    double total = double(fltDVDMenuFadeIn()) + double(fltDVDMenuFadeOut());
    for (std::size_t i = 0; i < slides.size(); ++i) {
        total += slides[i]->fSecPhotoDuration();
        if (i + 1 < slides.size())
            total += slides[i]->fSecTransitionDuration();
    }
    return total;
}
