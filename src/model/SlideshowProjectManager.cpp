#include "model/SlideshowProjectManager.h"

#include "model/ArchiveCoding.h"
#include "model/ModelClasses.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"

#include <QFileInfo>

#include <atomic>

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

SlideshowProjectManager::SlideshowProjectManager() = default;

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
    if (!manager) {
        if (error)
            *error = message.isEmpty() ? tr_("The file is not a project manager archive.") : message;
        creatNewDefaultSlideshowProjectManager();
        return false;
    }
    replaceSingleton(manager);
    return true;
}

void SlideshowProjectManager::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(archive::objectOrNil(fileVersion), "strFileVersion");
    coder.encodeInt32(nextProjectID, "nNextProjectID");
    coder.encodeObject(QVariantList(), "slideshowProjectArray");
    coder.encodeInt32(currentMenu, "nCurrentDVDMenuSelected");
    coder.encodeObject(archive::objectOrNil(title), "dvdTitle");
    coder.encodeObject(archive::objectOrNil(subtitle), "dvdSubtitle");
    coder.encodeObject(archive::objectOrNil(musicPath), "dvdBackgroundMusicPath");
    coder.encodeInt32(kProjectVersion, "nProjectVersion");
    coder.encodeBool(useMenu, "bUseDVDMenu");
}

std::shared_ptr<SlideshowProjectManager>
SlideshowProjectManager::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto manager = std::make_shared<SlideshowProjectManager>();
    const QString version = archive::decodeString(coder, "strFileVersion");
    if (!version.isEmpty())
        manager->fileVersion = version;
    const int entries = int(coder.decodeObject("slideshowProjectArray").toList().size());
    manager->nextProjectID = std::max(coder.decodeInt32("nNextProjectID"), entries + 1);
    manager->currentMenu = coder.decodeInt32("nCurrentDVDMenuSelected");
    const QString title = archive::decodeString(coder, "dvdTitle");
    if (!title.isEmpty())
        manager->title = title;
    const QString subtitle = archive::decodeString(coder, "dvdSubtitle");
    if (!subtitle.isEmpty())
        manager->subtitle = subtitle;
    const QString music = archive::decodeString(coder, "dvdBackgroundMusicPath");
    if (!music.isEmpty())
        manager->musicPath = music;
    if (coder.decodeInt32("nProjectVersion") > 119) {
        manager->useMenu = coder.decodeBool("bUseDVDMenu") && manager->currentMenu != 0;
    } else {
        manager->currentMenu += 1;
        manager->useMenu = true;
    }
    return manager;
}

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
