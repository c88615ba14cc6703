#include "model/SlideshowProjectManager.h"

#include "model/ArchiveCoding.h"
#include "model/ModelClasses.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/UserDefaults.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::mutex singletonMutex;
std::shared_ptr<SlideshowProjectManager> singleton;
std::atomic<int> monitorIndex{0};

void replaceSingleton(std::shared_ptr<SlideshowProjectManager> manager) {
    std::shared_ptr<SlideshowProjectManager> previous;
    std::lock_guard lock(singletonMutex);
    previous = std::move(singleton);
    singleton = std::move(manager);
}

} // namespace

SlideshowProjectManager::SlideshowProjectManager()
    : enable1080p(platform::UserDefaults::standard().boolean("Enable1080p", false)),
      maxImageWidth(enable1080p ? 1920 : 1280), maxImageHeight(enable1080p ? 1080 : 960) {
    shared.set(&Shared::menuSongs, std::vector<MusicItemRef>{defaultMenuSong()});
}

std::shared_ptr<SlideshowProjectManager> SlideshowProjectManager::defaultSlideshowProjectManager() {
    std::lock_guard lock(singletonMutex);
    if (!singleton)
        singleton = std::make_shared<SlideshowProjectManager>();
    return singleton;
}

void SlideshowProjectManager::creatNewDefaultSlideshowProjectManager() {
    replaceSingleton(std::make_shared<SlideshowProjectManager>());
}

QString SlideshowProjectManager::strSlideshowProjectManagerFileFullPath() {
    const auto project = SlideshowProject::currentMainProject();
    const QString folder = project ? project->strMacProjectBundleFullPath() : QString();
    return folder.isEmpty() ? QString() : folder + "/" + shortFileName();
}

bool SlideshowProjectManager::saveToFile(QString* error) {
    return saveToFile(strSlideshowProjectManagerFileFullPath(), error);
}

bool SlideshowProjectManager::saveToFile(const QString& path, QString* error) {
    if (path.isEmpty()) {
        if (error)
            *error = tr_("The project has no folder to be saved in.");
        return false;
    }
    return platform::KeyedArchiver::archiveRootObject(defaultSlideshowProjectManager(), path, error);
}

bool SlideshowProjectManager::loadFromFile(QString* error) {
    return loadFromFile(strSlideshowProjectManagerFileFullPath(), error);
}

bool SlideshowProjectManager::loadFromFile(const QString& path, QString* error) {
    registerModelClasses();
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        creatNewDefaultSlideshowProjectManager();
        return true;
    }
    QString message;
    std::shared_ptr<SlideshowProjectManager> manager;
    // Only the project's own: another project's archive through a link would hand its settings and entries
    // to this one, and the next save would write them into this folder.
    if (platform::liesInsideFolder(path, QFileInfo(path).absolutePath()))
        manager = std::dynamic_pointer_cast<SlideshowProjectManager>(
            platform::KeyedUnarchiver::unarchiveObjectWithFile(path, &message));
    else
        message = tr_("\"%1\" lies outside its project's folder.").arg(path);
    if (manager && !platform::KeyedArchiver::isArchivable(manager, &message))
        manager.reset(); // settings that could not be saved again would be lost at the next save
    if (!manager) {
        if (error)
            *error = message.isEmpty() ? tr_("The file is not a project manager archive.") : message;
        creatNewDefaultSlideshowProjectManager();
        return false;
    }
    replaceSingleton(manager);
    return true;
}

// ---- archive

void SlideshowProjectManager::encodeWithCoder(platform::KeyedArchiver& coder) const {
    const Shared fields = shared.get();
    coder.encodeObject(archive::objectOrNil(fields.fileVersion), "strFileVersion");
    coder.encodeInt32(nextProjectID, "nNextProjectID");
    coder.encodeObject(archive::arrayOf(fields.entries), "slideshowProjectArray");
    coder.encodeInt32(currentMenu.load(), "nCurrentDVDMenuSelected");
    coder.encodeObject(archive::objectOrNil(fields.title), "dvdTitle");
    coder.encodeObject(archive::objectOrNil(fields.subtitle), "dvdSubtitle");
    coder.encodeObject(archive::objectOrNil(fields.musicPath), "dvdBackgroundMusicPath");
    coder.encodeInt32(kProjectVersion, "nProjectVersion");
    coder.encodeBool(useMenu.load(), "bUseDVDMenu");
}

std::shared_ptr<SlideshowProjectManager>
SlideshowProjectManager::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto manager = std::make_shared<SlideshowProjectManager>();
    const QString version = archive::decodeString(coder, "strFileVersion");
    if (!version.isEmpty())
        manager->shared.set(&Shared::fileVersion, version);
    const int storedNext = coder.decodeInt32("nNextProjectID");
    const auto entries = archive::decodeArrayOf<SlideshowProjectManagerItem>(coder, "slideshowProjectArray",
                                                                             {"SlideshowProjectManagerItem"});
    manager->setSlideshowProjectArray(entries);
    manager->nextProjectID = std::max(storedNext, int(std::min<std::size_t>(entries.size(), 1 << 30)) + 1);
    manager->currentMenu = coder.decodeInt32("nCurrentDVDMenuSelected");
    const QString title = archive::decodeString(coder, "dvdTitle");
    if (!title.isEmpty())
        manager->setDvdTitle(title);
    const QString subtitle = archive::decodeString(coder, "dvdSubtitle");
    if (!subtitle.isEmpty())
        manager->setDvdSubtitle(subtitle);
    const QString music = archive::decodeString(coder, "dvdBackgroundMusicPath");
    if (!music.isEmpty())
        manager->readMenuSong(music);
    if (coder.decodeInt32("nProjectVersion") > 119) {
        manager->useMenu = coder.decodeBool("bUseDVDMenu") && manager->currentMenu != 0;
    } else {
        // Older archives did not list the no-menu choice, which now stands first.
        if (manager->currentMenu < std::numeric_limits<int>::max())
            manager->currentMenu += 1;
        manager->useMenu = true;
    }
    return manager;
}

// ---- encoding records

bool SlideshowProjectManager::recordEncoding(const QSizeF& size, const QString& format) {
    const auto entry = currentSlideshowProjectManagerItem();
    if (!entry)
        return false;
    entry->recordEncoding(size, format, SlideshowProject::clock()->now());
    return true;
}

bool SlideshowProjectManager::doesNeedEncodingForShareMovie(const QSizeF& size) const {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || project->bIsDirty())
        return true;
    const auto entry = currentSlideshowProjectManagerItem();
    if (!entry)
        return true;
    const QFileInfo movie(entry->videoOutputFullPath(size));
    const QDateTime recorded = entry->lastEncodingDate(size, SlideshowProject::strVideoOutputFormat());
    const QFileInfo archive(project->getProjectFullFileName());
    if (!movie.exists() || !recorded.isValid() || !archive.exists())
        return true;
    return archive.lastModified() > movie.lastModified() || archive.lastModified() > recorded;
}

int SlideshowProjectManager::projectCount() const {
    return shared.with([](const Shared& s) { return int(s.entries.size()); });
}

void SlideshowProjectManager::syncCurrItemAndIndex() {
    currItemIndex = shared.with([](const Shared& s) {
        const auto at = std::find(s.entries.begin(), s.entries.end(), s.currentEntry);
        return s.currentEntry && at != s.entries.end() ? int(at - s.entries.begin()) : -1;
    });
}

// ---- class-level settings

QSizeF SlideshowProjectManager::sizeVideoOutput() {
    return SlideshowProject::sizeVideoOutput();
}
void SlideshowProjectManager::setSizeVideoOutput(const QSizeF& size) {
    SlideshowProject::setSizeVideoOutput(size);
}
unsigned long SlideshowProjectManager::ulFrameRate() {
    return SlideshowProject::ulFrameRate();
}
void SlideshowProjectManager::setULFrameRate(unsigned long rate) {
    SlideshowProject::setULFrameRate(rate);
}
int SlideshowProjectManager::nMonitorIndex() {
    return monitorIndex.load();
}
void SlideshowProjectManager::setNMonitorIndex(int index) {
    monitorIndex = index % 3;
}
QStringList SlideshowProjectManager::monitorDesc() {
    return {tr_("iPad"), tr_("HDTV - HDMI")};
}
QString SlideshowProjectManager::homeDirectory() {
    return SlideshowProject::homeDirectory();
}

bool SlideshowProjectManager::rectSameCompare(const QRectF& a, const QRectF& b) {
    return std::fabs(a.x() - b.x()) < 0.1 && std::fabs(a.y() - b.y()) < 0.1 &&
           std::fabs(a.width() - b.width()) < 0.1 && std::fabs(a.height() - b.height()) < 0.1;
}

// ---- guarded fields

QString SlideshowProjectManager::strFileVersion() const {
    return shared.get(&Shared::fileVersion);
}
std::vector<SlideshowProjectManagerItemRef> SlideshowProjectManager::slideshowProjectArray() const {
    return shared.get(&Shared::entries);
}
void SlideshowProjectManager::setSlideshowProjectArray(std::vector<SlideshowProjectManagerItemRef> value) {
    shared.set(&Shared::entries, std::move(value));
}
SlideshowProjectManagerItemRef SlideshowProjectManager::currentSlideshowProjectManagerItem() const {
    return shared.get(&Shared::currentEntry);
}
void SlideshowProjectManager::setCurrentSlideshowProjectManagerItem(SlideshowProjectManagerItemRef entry) {
    shared.set(&Shared::currentEntry, std::move(entry));
}
QVariantMap SlideshowProjectManager::dictShareMovieParam() const {
    return shared.get(&Shared::shareMovieParam);
}
void SlideshowProjectManager::setDictShareMovieParam(const QVariantMap& parameters) {
    shared.set(&Shared::shareMovieParam, parameters);
}
QString SlideshowProjectManager::dvdTitle() const {
    return shared.get(&Shared::title);
}
void SlideshowProjectManager::setDvdTitle(const QString& value) {
    shared.set(&Shared::title, value);
}
QString SlideshowProjectManager::dvdSubtitle() const {
    return shared.get(&Shared::subtitle);
}
void SlideshowProjectManager::setDvdSubtitle(const QString& value) {
    shared.set(&Shared::subtitle, value);
}
QString SlideshowProjectManager::dvdBackgroundMusicPath() const {
    return shared.get(&Shared::musicPath);
}
void SlideshowProjectManager::setDvdBackgroundMusicPath(const QString& value) {
    shared.set(&Shared::musicPath, value);
}
std::vector<MusicItemRef> SlideshowProjectManager::dvdMenuBackgroundMusicArray() const {
    return shared.get(&Shared::menuSongs);
}
void SlideshowProjectManager::setDvdMenuBackgroundMusicArray(std::vector<MusicItemRef> songs) {
    shared.set(&Shared::menuSongs, std::move(songs));
}
std::vector<SlideItemRef> SlideshowProjectManager::dvdMenuSlideArray() const {
    return shared.get(&Shared::menuSlides);
}
void SlideshowProjectManager::setDvdMenuSlideArray(std::vector<SlideItemRef> slides) {
    shared.set(&Shared::menuSlides, std::move(slides));
}
std::shared_ptr<MenuAudioMixer> SlideshowProjectManager::dvdMenuAudioMixer() const {
    return shared.get(&Shared::menuMixer);
}
void SlideshowProjectManager::setDvdMenuAudioMixer(std::shared_ptr<MenuAudioMixer> mixer) {
    shared.set(&Shared::menuMixer, std::move(mixer));
}
std::vector<DVDMenuTemplateRef> SlideshowProjectManager::dvdMenuTemplateArray() const {
    return shared.get(&Shared::templates);
}
DVDMenuTemplateRef SlideshowProjectManager::currentDVDMenuTemplate() const {
    return shared.get(&Shared::currentTemplate);
}
void SlideshowProjectManager::setCurrentDVDMenuTemplate(DVDMenuTemplateRef menu) {
    shared.set(&Shared::currentTemplate, std::move(menu));
}
