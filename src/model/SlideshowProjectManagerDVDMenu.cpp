// The project manager's DVD menu: its templates, its songs and the length of its slide show.
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QByteArray digestOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return hash.addData(&file) ? hash.result() : QByteArray();
}

// An earlier copy of source in folder: a name that the song copies are given ("<name>-<seconds>",
// maybe "-<n>", and the extension) and the same bytes.
QString existingCopyOf(const QString& source, const QString& folder) {
    const QFileInfo info(source);
    const QString extension =
        info.suffix().isEmpty() ? QString() : "\\." + QRegularExpression::escape(info.suffix());
    const QRegularExpression pattern("^" + QRegularExpression::escape(info.completeBaseName()) +
                                     "-\\d+\\.\\d\\d(-\\d+)?" + extension + "$");
    QByteArray sourceDigest;
    const QFileInfoList candidates = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& candidate : candidates) {
        if (!pattern.match(candidate.fileName()).hasMatch() || candidate.size() != info.size())
            continue;
        if (sourceDigest.isEmpty())
            sourceDigest = digestOf(source);
        if (!sourceDigest.isEmpty() && digestOf(candidate.filePath()) == sourceDigest)
            return candidate.fileName();
    }
    return QString();
}

QString openProjectContents() {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->strMacProjectBundleContentsPath() : QString();
}

} // namespace

MusicItemRef SlideshowProjectManager::defaultMenuSong() {
    QString source = platform::paths::pathForResource("default", "mp3");
    if (source.isEmpty())
        source = platform::paths::resourceFolder() + "/default.mp3";
    const QString name = QFileInfo(source).completeBaseName();
    auto song = std::make_shared<MusicItem>();
    song->addEntriesFromDictionary({{"filePath", source},
                                    {"pureFileName", name},
                                    {"titleFromFileName", name},
                                    {"musicSource", "bundleDefaultMusic"}});
    return song;
}

QVariantMap SlideshowProjectManager::getMusicInfoDict(const QString& path, QString* error) {
    const QString contents = openProjectContents();
    if (contents.isEmpty()) {
        if (error)
            *error = tr_("No project is open to take the song.");
        return {};
    }
    return MusicItem::songDictionaryForImport(path, contents, error);
}

QVariantMap SlideshowProjectManager::menuSongDictionaryForStoredPath(const QString& path, QString* error) {
    const QString contents = openProjectContents();
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

void SlideshowProjectManager::readMenuSong(const QString& path) {
    setDvdBackgroundMusicPath(path);
    if (!QFileInfo(path).isFile())
        return; // the stored path is kept; the menu keeps the default song
    const QVariantMap dictionary = menuSongDictionaryForStoredPath(path);
    if (dictionary.isEmpty())
        return;
    auto song = std::make_shared<MusicItem>();
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
