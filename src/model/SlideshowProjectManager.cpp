#include "model/SlideshowProjectManager.h"

#include "model/ArchiveCoding.h"
#include "model/ModelClasses.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
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
      maxImageWidth(enable1080p ? 1920 : 1280),
      maxImageHeight(enable1080p ? 1080 : 960), menuSongs{defaultMenuSong()} {}

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
    auto root = platform::KeyedUnarchiver::unarchiveObjectWithFile(path, &message);
    auto manager = std::dynamic_pointer_cast<SlideshowProjectManager>(root);
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
    std::lock_guard lock(mutex);
    coder.encodeObject(archive::objectOrNil(fileVersion), "strFileVersion");
    coder.encodeInt32(nextProjectID, "nNextProjectID");
    coder.encodeObject(archive::arrayOf(entries), "slideshowProjectArray");
    coder.encodeInt32(currentMenu.load(), "nCurrentDVDMenuSelected");
    coder.encodeObject(archive::objectOrNil(title), "dvdTitle");
    coder.encodeObject(archive::objectOrNil(subtitle), "dvdSubtitle");
    coder.encodeObject(archive::objectOrNil(musicPath), "dvdBackgroundMusicPath");
    coder.encodeInt32(kProjectVersion, "nProjectVersion");
    coder.encodeBool(useMenu.load(), "bUseDVDMenu");
}

std::shared_ptr<SlideshowProjectManager>
SlideshowProjectManager::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto manager = std::make_shared<SlideshowProjectManager>();
    const QString version = archive::decodeString(coder, "strFileVersion");
    if (!version.isEmpty())
        manager->fileVersion = version;
    const int storedNext = coder.decodeInt32("nNextProjectID");
    manager->entries = archive::decodeArrayOf<SlideshowProjectManagerItem>(coder, "slideshowProjectArray",
                                                                           {"SlideshowProjectManagerItem"});
    manager->nextProjectID =
        std::max(storedNext, int(std::min<std::size_t>(manager->entries.size(), 1 << 30)) + 1);
    manager->currentMenu = coder.decodeInt32("nCurrentDVDMenuSelected");
    const QString title = archive::decodeString(coder, "dvdTitle");
    if (!title.isEmpty())
        manager->title = title;
    const QString subtitle = archive::decodeString(coder, "dvdSubtitle");
    if (!subtitle.isEmpty())
        manager->subtitle = subtitle;
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
    std::lock_guard lock(mutex);
    return int(entries.size());
}

void SlideshowProjectManager::syncCurrItemAndIndex() {
    std::lock_guard lock(mutex);
    const auto at = std::find(entries.begin(), entries.end(), currentEntry);
    currItemIndex = currentEntry && at != entries.end() ? int(at - entries.begin()) : -1;
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
bool SlideshowProjectManager::bRepeatPlayFlagBak() {
    return SlideshowProject::bRepeatPlayFlagBak();
}
void SlideshowProjectManager::setBRepeatPlayFlagBak(bool value) {
    SlideshowProject::setBRepeatPlayFlagBak(value);
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
    std::lock_guard lock(mutex);
    return fileVersion;
}
std::vector<SlideshowProjectManagerItemRef> SlideshowProjectManager::slideshowProjectArray() const {
    std::lock_guard lock(mutex);
    return entries;
}
void SlideshowProjectManager::setSlideshowProjectArray(std::vector<SlideshowProjectManagerItemRef> value) {
    std::lock_guard lock(mutex);
    entries = std::move(value);
}
SlideshowProjectManagerItemRef SlideshowProjectManager::currentSlideshowProjectManagerItem() const {
    std::lock_guard lock(mutex);
    return currentEntry;
}
void SlideshowProjectManager::setCurrentSlideshowProjectManagerItem(SlideshowProjectManagerItemRef entry) {
    std::lock_guard lock(mutex);
    currentEntry = std::move(entry);
}
QVariantMap SlideshowProjectManager::dictShareMovieParam() const {
    std::lock_guard lock(mutex);
    return shareMovieParam;
}
void SlideshowProjectManager::setDictShareMovieParam(const QVariantMap& parameters) {
    std::lock_guard lock(mutex);
    shareMovieParam = parameters;
}
QString SlideshowProjectManager::dvdTitle() const {
    std::lock_guard lock(mutex);
    return title;
}
void SlideshowProjectManager::setDvdTitle(const QString& value) {
    std::lock_guard lock(mutex);
    title = value;
}
QString SlideshowProjectManager::dvdSubtitle() const {
    std::lock_guard lock(mutex);
    return subtitle;
}
void SlideshowProjectManager::setDvdSubtitle(const QString& value) {
    std::lock_guard lock(mutex);
    subtitle = value;
}
QString SlideshowProjectManager::dvdBackgroundMusicPath() const {
    std::lock_guard lock(mutex);
    return musicPath;
}
void SlideshowProjectManager::setDvdBackgroundMusicPath(const QString& value) {
    std::lock_guard lock(mutex);
    musicPath = value;
}
std::vector<MusicItemRef> SlideshowProjectManager::dvdMenuBackgroundMusicArray() const {
    std::lock_guard lock(mutex);
    return menuSongs;
}
void SlideshowProjectManager::setDvdMenuBackgroundMusicArray(std::vector<MusicItemRef> songs) {
    std::lock_guard lock(mutex);
    menuSongs = std::move(songs);
}
std::vector<SlideItemRef> SlideshowProjectManager::dvdMenuSlideArray() const {
    std::lock_guard lock(mutex);
    return menuSlides;
}
void SlideshowProjectManager::setDvdMenuSlideArray(std::vector<SlideItemRef> slides) {
    std::lock_guard lock(mutex);
    menuSlides = std::move(slides);
}
std::shared_ptr<MenuAudioMixer> SlideshowProjectManager::dvdMenuAudioMixer() const {
    std::lock_guard lock(mutex);
    return menuMixer;
}
void SlideshowProjectManager::setDvdMenuAudioMixer(std::shared_ptr<MenuAudioMixer> mixer) {
    std::lock_guard lock(mutex);
    menuMixer = std::move(mixer);
}
std::vector<DVDMenuTemplateRef> SlideshowProjectManager::dvdMenuTemplateArray() const {
    std::lock_guard lock(mutex);
    return templates;
}
DVDMenuTemplateRef SlideshowProjectManager::currentDVDMenuTemplate() const {
    std::lock_guard lock(mutex);
    return currentTemplate;
}
void SlideshowProjectManager::setCurrentDVDMenuTemplate(DVDMenuTemplateRef menu) {
    std::lock_guard lock(mutex);
    currentTemplate = std::move(menu);
}
