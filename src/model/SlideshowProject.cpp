#include "model/SlideshowProject.h"

#include "model/ArchiveCoding.h"
#include "model/ModelClasses.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"

#include <QColor>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

std::mutex singletonMutex;
SlideshowProjectRef singleton;
bool firstCallMade = false;

std::atomic<double> outputWidth{1280.0};
std::atomic<double> outputHeight{720.0};
std::atomic<unsigned long> frameRate{30};
std::atomic<unsigned long> encodeBitrate{3500000};

std::mutex clockMutex;
std::shared_ptr<platform::Clock> installedClock;

std::optional<SlideshowProject::StartupLoadFailure> startupLoadFailure; // guarded by singletonMutex

// The project the first call of mainProject() settles on.
SlideshowProjectRef startupProject() {
    const QString last = SlideshowProject::strLastProjectBundlePath();
    // A folder that is gone is no failure; one whose archive is there but cannot be read is.
    if (!last.isEmpty() && QFileInfo::exists(last + "/" + SlideshowProject::shortFileName())) {
        QString error;
        if (auto project = SlideshowProject::loadBundleProject(last, &error))
            return project;
        std::lock_guard lock(singletonMutex);
        startupLoadFailure = SlideshowProject::StartupLoadFailure{last, error};
    }
    // A folder that could not be read is left alone; the new folder becomes the one to reopen, so
    // a later start does not make yet another folder.
    if (auto project = SlideshowProject::createNewBundleProject(QString())) {
        SlideshowProject::setStrLastProjectBundlePath(project->strMacProjectBundleFullPath());
        return project;
    }
    return platform::makeMainThreadShared<SlideshowProject>();
}

// The open project's manager comes from its folder; a folder without one gets the defaults written
// at once, so both archives are there from the start. An unreadable one is left for the user.
void loadOrWriteProjectManager() {
    const QString path = SlideshowProjectManager::strSlideshowProjectManagerFileFullPath();
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)) {
        SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile(path);
        return;
    }
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile(path);
}

} // namespace

SlideshowProject::SlideshowProject() {
    initVar();
    shared.with([](Shared& s) {
        s.themeManager = std::make_shared<SlideshowThemeManager>();
        s.blankImageFont = {{"FontSize", 90},        {"FontName", "SnellRoundhand-Black"},
                            {"Text", QString("")},   {"FontColor", QColor(Qt::yellow)},
                            {"Usage", "BlankImage"}, {"BackgroundImage", "bk_008.jpg"}};
        s.subTitleFont = {{"FontSize", 40},
                          {"FontName", "Georgia-Bold"},
                          {"Text", QString("")},
                          {"FontColor", QColor(Qt::white)},
                          {"Usage", "Subtitle"}};
        s.title = QStringLiteral("New Project");
    });
}

SlideshowProject::~SlideshowProject() {
    platform::checkDestroyedOnMainThread("a project");
}

void SlideshowProject::initVar() {
    playLoop = true;
    photoDuration = 4.0f;
    transitionDuration = 2.0f;
    volumeWhenPhotos = kDefaultVolumeWhenPhotos;
    volumeWhenVideos = kDefaultVolumeWhenVideos;
    applyTransitionToAll = false;
    dirty = false;
    musicSlideshow = false;
    shared.set(&Shared::themeBackground, QString());
    pixelsPerSecond = 28;
    timelineStyle = 0;
}

// ---- the open project

SlideshowProjectRef SlideshowProject::mainProject() {
    {
        std::lock_guard lock(singletonMutex);
        if (firstCallMade)
            return singleton;
        firstCallMade = true;
    }
    registerModelClasses();
    SlideshowProjectRef project = startupProject();
    {
        std::lock_guard lock(singletonMutex);
        singleton = project;
    }
    loadOrWriteProjectManager();
    project->checkItemVaild();
    return project;
}

std::optional<SlideshowProject::StartupLoadFailure> SlideshowProject::takeStartupLoadFailure() {
    std::lock_guard lock(singletonMutex);
    return std::exchange(startupLoadFailure, std::nullopt);
}

SlideshowProjectRef SlideshowProject::currentMainProject() {
    std::lock_guard lock(singletonMutex);
    return singleton;
}

void SlideshowProject::retainProject(SlideshowProjectRef project) {
    SlideshowProjectRef previous;
    std::lock_guard lock(singletonMutex);
    previous = std::move(singleton);
    singleton = std::move(project);
    firstCallMade = true;
}

SlideshowProjectRef SlideshowProject::newProject() {
    auto project = createNewBundleProject(QString());
    if (project)
        retainProject(project);
    return project;
}

void SlideshowProject::resetMainProjectForTesting() {
    std::lock_guard lock(singletonMutex);
    singleton.reset();
    firstCallMade = false;
    startupLoadFailure.reset();
}

// ---- class-level settings

QSizeF SlideshowProject::sizeVideoOutput() {
    return QSizeF(outputWidth.load(), outputHeight.load());
}
void SlideshowProject::setSizeVideoOutput(const QSizeF& size) {
    outputWidth = size.width();
    outputHeight = size.height();
}
unsigned long SlideshowProject::ulFrameRate() {
    return frameRate.load();
}
void SlideshowProject::setULFrameRate(unsigned long rate) {
    frameRate = rate;
}
unsigned long SlideshowProject::ulEncodeVideoBitrate() {
    return encodeBitrate.load();
}
void SlideshowProject::setULEncodeVideoBitrate(unsigned long value) {
    encodeBitrate = value;
}
int SlideshowProject::nMonitorIndex() {
    return SlideshowProjectManager::nMonitorIndex();
}
void SlideshowProject::setNMonitorIndex(int index) {
    SlideshowProjectManager::setNMonitorIndex(index);
}
QStringList SlideshowProject::monitorDesc() {
    return SlideshowProjectManager::monitorDesc();
}

std::shared_ptr<platform::Clock> SlideshowProject::clock() {
    std::lock_guard lock(clockMutex);
    if (!installedClock)
        installedClock = platform::Clock::system();
    return installedClock;
}

void SlideshowProject::setClock(std::shared_ptr<platform::Clock> value) {
    std::lock_guard lock(clockMutex);
    installedClock = std::move(value);
}

// ---- slides, songs and layers

std::vector<SlideItemRef> SlideshowProject::slideshowArray() const {
    return shared.get(&Shared::slides);
}
void SlideshowProject::setSlideshowArray(std::vector<SlideItemRef> value) {
    shared.set(&Shared::slides, std::move(value));
}
std::size_t SlideshowProject::slideCount() const {
    return shared.with([](const Shared& s) { return s.slides.size(); });
}
std::vector<MusicItemRef> SlideshowProject::musicArray() const {
    return shared.get(&Shared::songs);
}
void SlideshowProject::setMusicArray(std::vector<MusicItemRef> value) {
    shared.set(&Shared::songs, std::move(value));
}
std::vector<MusicItemRef> SlideshowProject::audioLayerArray() const {
    return shared.get(&Shared::audioLayers);
}
void SlideshowProject::setAudioLayerArray(std::vector<MusicItemRef> value) {
    shared.set(&Shared::audioLayers, std::move(value));
}
std::vector<SlideItemRef> SlideshowProject::textLayerArray() const {
    return shared.get(&Shared::textLayers);
}
void SlideshowProject::setTextLayerArray(std::vector<SlideItemRef> value) {
    shared.set(&Shared::textLayers, std::move(value));
}

void SlideshowProject::setSlideOutForDrag(SlideItemRef slide, std::size_t index) {
    shared.with([&](Shared& s) {
        s.slideOutForDrag = std::move(slide);
        s.slideOutForDragIndex = index;
    });
}
SlideItemRef SlideshowProject::slideOutForDrag() const {
    return shared.get(&Shared::slideOutForDrag);
}

// The slides as saved: a slide out for a drag stands in the place it left, unless it is back already.
std::vector<SlideItemRef> SlideshowProject::slidesToSave() const {
    return shared.with([](const Shared& s) {
        std::vector<SlideItemRef> slides = s.slides;
        const SlideItemRef& out = s.slideOutForDrag;
        if (out && std::find(slides.begin(), slides.end(), out) == slides.end())
            slides.insert(slides.begin() + std::ptrdiff_t(std::min(s.slideOutForDragIndex, slides.size())),
                          out);
        return slides;
    });
}

void SlideshowProject::addSlideItem(SlideItemRef slide) {
    if (!slide)
        return;
    shared.with([&](Shared& s) { s.slides.push_back(std::move(slide)); });
}

void SlideshowProject::insertSlideItem(std::size_t index, SlideItemRef slide) {
    if (!slide)
        return;
    shared.with([&](Shared& s) {
        s.slides.insert(s.slides.begin() + std::ptrdiff_t(std::min(index, s.slides.size())),
                        std::move(slide));
    });
}

void SlideshowProject::removeSlideItemAtIndex(std::size_t index) {
    shared.with([index](Shared& s) {
        if (index < s.slides.size())
            s.slides.erase(s.slides.begin() + std::ptrdiff_t(index));
    });
}

SlideItemRef SlideshowProject::slideItemAtIndex(std::size_t index) const {
    return shared.with(
        [index](const Shared& s) { return index < s.slides.size() ? s.slides[index] : nullptr; });
}

bool SlideshowProject::containsSlideItem(const SlideItem* slide) const {
    return shared.with([slide](const Shared& s) {
        return std::any_of(s.slides.begin(), s.slides.end(),
                           [slide](const SlideItemRef& each) { return each.get() == slide; });
    });
}

void SlideshowProject::addMusicItem(MusicItemRef song) {
    if (!song)
        return;
    shared.with([&](Shared& s) { s.songs.push_back(std::move(song)); });
}

// ---- guarded fields

QString SlideshowProject::strMacProjectBundleFullPath() const {
    return shared.get(&Shared::bundlePath);
}
void SlideshowProject::setStrMacProjectBundleFullPath(const QString& path) {
    shared.set(&Shared::bundlePath, path);
}
QString SlideshowProject::strMacProjectBundleContentsPath() const {
    return shared.get(&Shared::contentsPath);
}
void SlideshowProject::setStrMacProjectBundleContentsPath(const QString& path) {
    shared.set(&Shared::contentsPath, path);
}
QString SlideshowProject::strProjectTitle() const {
    return shared.get(&Shared::title);
}
void SlideshowProject::setStrProjectTitle(const QString& value) {
    shared.set(&Shared::title, value);
}
QVariantMap SlideshowProject::shareOptionsDict() const {
    return shared.get(&Shared::shareOptions);
}
void SlideshowProject::setShareOptionsDict(const QVariantMap& options) {
    shared.set(&Shared::shareOptions, options);
}
void SlideshowProject::setShareOption(const QString& key, const QVariant& value) {
    shared.with([&](Shared& s) { s.shareOptions.insert(key, value); });
}
std::shared_ptr<ProjectAudioMixer> SlideshowProject::audioMixer() const {
    return shared.get(&Shared::mixer);
}
void SlideshowProject::setAudioMixer(std::shared_ptr<ProjectAudioMixer> value) {
    shared.set(&Shared::mixer, std::move(value));
}
std::shared_ptr<ProjectDirector> SlideshowProject::director() const {
    return shared.with([](const Shared& s) { return s.player.lock(); });
}
void SlideshowProject::setDirector(std::shared_ptr<ProjectDirector> value) {
    shared.set(&Shared::player, std::move(value));
}

void SlideshowProject::setThemeManger(std::shared_ptr<SlideshowThemeManager> manager) {
    shared.set(&Shared::themeManager,
               manager ? std::move(manager) : std::make_shared<SlideshowThemeManager>());
}

void SlideshowProject::setOpenGLViewRect(int width, int height, int x, int y) {
    viewRect[0] = width;
    viewRect[1] = height;
    viewRect[2] = x;
    viewRect[3] = y;
}

QString SlideshowProject::strShareServceType() const {
    return shareOptionsDict().value("ServiceName").toString();
}

// ---- archive

void SlideshowProject::encodeWithCoder(platform::KeyedArchiver& coder) const {
    coder.encodeObject(archive::objectOrNil(fileVersion), "strFileVersion");
    coder.encodeObject(archive::objectOrNil(projectFolderBase), "projectFolderBase");
    coder.encodeObject(archive::objectOrNil(strProjectTitle()), "projectTitle");
    coder.encodeBool(playLoop, "bPlayLoop");
    coder.encodeObject(platform::ArchivableRef(themeManger()), "themeManger");
    coder.encodeObject(archive::arrayOf(slidesToSave()), "slideshowArray");
    coder.encodeObject(archive::arrayOf(musicArray()), "musicArray");
    coder.encodeFloat(photoDuration, "fltPhotoDuration");
    coder.encodeFloat(transitionDuration, "fltTransitionDuration");
    coder.encodeBool(musicSlideshow, "bIsMusicSideshow");
    coder.encodeObject(QVariant(dictFileRefreshDate()), "dictFileRefreshDate");
    if (const QString backdrop = strThemeBackground(); !backdrop.isNull())
        coder.encodeObject(QVariant(backdrop), "strThemeBackground");
    coder.encodeBool(tvSystemPAL, "bTVSystemPAL");
    coder.encodeBool(dvdAspect16_9, "bDVDVideoAspect16_9");
    coder.encodeFloat(volumeWhenPhotos, "fltBackgroundMusicVolumeWhenPhotos");
    coder.encodeFloat(volumeWhenVideos, "fltBackgroundMusicVolumeWhenVideos");
}

namespace {

// Durations of archives from older versions count sixtieths of a second.
float legacyDuration(platform::KeyedUnarchiver& coder, const char* key, int absent, float whenZero) {
    const int n = coder.containsValueForKey(key) ? coder.decodeInt32(key) : absent;
    return n == 0 ? whenZero : float(n / 60);
}

} // namespace

SlideshowProjectRef SlideshowProject::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    if (coder.containsValueForKey("strFileVersion")) {
        const QString version = archive::decodeString(coder, "strFileVersion");
        if (!version.isEmpty())
            project->fileVersion = version;
    }
    project->setFltPhotoDuration(coder.containsValueForKey("fltPhotoDuration")
                                     ? coder.decodeFloat("fltPhotoDuration")
                                     : legacyDuration(coder, "nPhotoDuration", 240, 4.0f));
    project->setFltTransitionDuration(coder.containsValueForKey("fltTransitionDuration")
                                          ? coder.decodeFloat("fltTransitionDuration")
                                          : legacyDuration(coder, "nTransitionDuration", 120, 2.0f));
    project->projectFolderBase = archive::decodeString(coder, "projectFolderBase");
    project->setStrProjectTitle(archive::decodeString(coder, "projectTitle"));
    project->playLoop = coder.decodeBool("bPlayLoop");
    // Missing or foreign parts read as empty, never as "nothing" that later imports would vanish into.
    project->setThemeManger(
        archive::decodeObjectOf<SlideshowThemeManager>(coder, "themeManger", {"SlideshowThemeManager"}));
    project->setSlideshowArray(archive::decodeArrayOf<SlideItem>(coder, "slideshowArray", slideClassNames()));
    project->setMusicArray(archive::decodeArrayOf<MusicItem>(coder, "musicArray", {"MusicItem"}));
    if (coder.containsValueForKey("bIsMusicSideshow"))
        project->musicSlideshow = coder.decodeBool("bIsMusicSideshow");
    if (auto dates = archive::decodeMap(coder, "dictFileRefreshDate"))
        project->setDictFileRefreshDate(*dates);
    if (coder.containsValueForKey("strThemeBackground"))
        project->setStrThemeBackground(archive::decodeString(coder, "strThemeBackground"));
    if (coder.containsValueForKey("bTVSystemPAL"))
        project->tvSystemPAL = coder.decodeBool("bTVSystemPAL");
    if (coder.containsValueForKey("bDVDVideoAspect16_9"))
        project->dvdAspect16_9 = coder.decodeBool("bDVDVideoAspect16_9");
    if (coder.containsValueForKey("fltBackgroundMusicVolumeWhenPhotos"))
        project->volumeWhenPhotos = coder.decodeFloat("fltBackgroundMusicVolumeWhenPhotos");
    if (coder.containsValueForKey("fltBackgroundMusicVolumeWhenVideos"))
        project->volumeWhenVideos = coder.decodeFloat("fltBackgroundMusicVolumeWhenVideos");
    return project;
}
