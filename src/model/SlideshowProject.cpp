#include "model/SlideshowProject.h"

#include "model/ArchiveCoding.h"
#include "model/ModelClasses.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/Clock.h"

#include <QColor>
#include <QFileInfo>

#include <algorithm>

namespace {

std::mutex singletonMutex;
SlideshowProjectRef singleton;
bool firstCallMade = false;

std::atomic<double> outputWidth{1280.0};
std::atomic<double> outputHeight{720.0};
std::atomic<unsigned long> frameRate{30};
std::atomic<bool> repeatPlayFlagBak{true};
std::atomic<unsigned long> encodeBitrate{3500000};

std::mutex clockMutex;
std::shared_ptr<platform::Clock> installedClock;

// The project the first call of mainProject() settles on.
SlideshowProjectRef startupProject() {
    const QString last = SlideshowProject::strLastProjectBundlePath();
    if (SlideshowProject::isValidProjectBundle(last)) {
        if (auto project = SlideshowProject::loadBundleProject(last))
            return project;
    }
    // A folder that could not be read is left alone; the new folder becomes the one to reopen, so
    // a later start does not make yet another folder.
    if (auto project = SlideshowProject::createNewBundleProject(QString())) {
        SlideshowProject::setStrLastProjectBundlePath(project->strMacProjectBundleFullPath());
        return project;
    }
    return std::make_shared<SlideshowProject>();
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

SlideshowProject::SlideshowProject() : themeManager(std::make_shared<SlideshowThemeManager>()) {
    initVar();
    blankImageFont = {{"FontSize", 90},        {"FontName", "SnellRoundhand-Black"},
                      {"Text", QString("")},   {"FontColor", QColor(Qt::yellow)},
                      {"Usage", "BlankImage"}, {"BackgroundImage", "bk_008.jpg"}};
    subTitleFont = {{"FontSize", 40},
                    {"FontName", "Georgia-Bold"},
                    {"Text", QString("")},
                    {"FontColor", QColor(Qt::white)},
                    {"Usage", "Subtitle"}};
    title = QStringLiteral("New Project");
}

SlideshowProject::~SlideshowProject() = default;

void SlideshowProject::initVar() {
    playLoop = true;
    photoDuration = 4.0f;
    transitionDuration = 2.0f;
    volumeWhenPhotos = kDefaultVolumeWhenPhotos;
    volumeWhenVideos = kDefaultVolumeWhenVideos;
    applyTransitionToAll = false;
    dirty = false;
    musicSlideshow = false;
    themeBackground = QString();
    pixelsPerSecond = 28;
    timelineStyle = 0;
    encoding = false;
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
bool SlideshowProject::bRepeatPlayFlagBak() {
    return repeatPlayFlagBak.load();
}
void SlideshowProject::setBRepeatPlayFlagBak(bool value) {
    repeatPlayFlagBak = value;
}
void SlideshowProject::restorePlaybackAfterExport() {
    setULFrameRate(30);
    if (const SlideshowProjectRef project = currentMainProject()) {
        project->setBPlayLoop(bRepeatPlayFlagBak());
        project->setEncodingSlideshow(false);
    }
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
    std::lock_guard lock(mutex);
    return slides;
}
void SlideshowProject::setSlideshowArray(std::vector<SlideItemRef> value) {
    std::lock_guard lock(mutex);
    slides = std::move(value);
}
std::size_t SlideshowProject::slideCount() const {
    std::lock_guard lock(mutex);
    return slides.size();
}
std::vector<MusicItemRef> SlideshowProject::musicArray() const {
    std::lock_guard lock(mutex);
    return songs;
}
void SlideshowProject::setMusicArray(std::vector<MusicItemRef> value) {
    std::lock_guard lock(mutex);
    songs = std::move(value);
}
std::vector<MusicItemRef> SlideshowProject::audioLayerArray() const {
    std::lock_guard lock(mutex);
    return audioLayers;
}
void SlideshowProject::setAudioLayerArray(std::vector<MusicItemRef> value) {
    std::lock_guard lock(mutex);
    audioLayers = std::move(value);
}
std::vector<SlideItemRef> SlideshowProject::textLayerArray() const {
    std::lock_guard lock(mutex);
    return textLayers;
}
void SlideshowProject::setTextLayerArray(std::vector<SlideItemRef> value) {
    std::lock_guard lock(mutex);
    textLayers = std::move(value);
}

void SlideshowProject::addSlideItem(SlideItemRef slide) {
    if (!slide)
        return;
    std::lock_guard lock(mutex);
    slides.push_back(std::move(slide));
}

void SlideshowProject::insertSlideItem(std::size_t index, SlideItemRef slide) {
    if (!slide)
        return;
    std::lock_guard lock(mutex);
    slides.insert(slides.begin() + std::ptrdiff_t(std::min(index, slides.size())), std::move(slide));
}

void SlideshowProject::removeSlideItemAtIndex(std::size_t index) {
    std::lock_guard lock(mutex);
    if (index < slides.size())
        slides.erase(slides.begin() + std::ptrdiff_t(index));
}

SlideItemRef SlideshowProject::slideItemAtIndex(std::size_t index) const {
    std::lock_guard lock(mutex);
    return index < slides.size() ? slides[index] : nullptr;
}

bool SlideshowProject::containsSlideItem(const SlideItem* slide) const {
    std::lock_guard lock(mutex);
    return std::any_of(slides.begin(), slides.end(),
                       [slide](const SlideItemRef& s) { return s.get() == slide; });
}

void SlideshowProject::addMusicItem(MusicItemRef song) {
    if (!song)
        return;
    std::lock_guard lock(mutex);
    songs.push_back(std::move(song));
}

// ---- guarded fields

QString SlideshowProject::strMacProjectBundleFullPath() const {
    std::lock_guard lock(mutex);
    return bundlePath;
}
void SlideshowProject::setStrMacProjectBundleFullPath(const QString& path) {
    std::lock_guard lock(mutex);
    bundlePath = path;
}
QString SlideshowProject::strMacProjectBundleContentsPath() const {
    std::lock_guard lock(mutex);
    return contentsPath;
}
void SlideshowProject::setStrMacProjectBundleContentsPath(const QString& path) {
    std::lock_guard lock(mutex);
    contentsPath = path;
}
QString SlideshowProject::strProjectTitle() const {
    std::lock_guard lock(mutex);
    return title;
}
void SlideshowProject::setStrProjectTitle(const QString& value) {
    std::lock_guard lock(mutex);
    title = value;
}
QVariantMap SlideshowProject::shareOptionsDict() const {
    std::lock_guard lock(mutex);
    return shareOptions;
}
void SlideshowProject::setShareOptionsDict(const QVariantMap& options) {
    std::lock_guard lock(mutex);
    shareOptions = options;
}
void SlideshowProject::setShareOption(const QString& key, const QVariant& value) {
    std::lock_guard lock(mutex);
    shareOptions.insert(key, value);
}
std::shared_ptr<ProjectAudioMixer> SlideshowProject::audioMixer() const {
    std::lock_guard lock(mutex);
    return mixer;
}
void SlideshowProject::setAudioMixer(std::shared_ptr<ProjectAudioMixer> value) {
    std::lock_guard lock(mutex);
    mixer = std::move(value);
}
std::shared_ptr<ProjectDirector> SlideshowProject::director() const {
    std::lock_guard lock(mutex);
    return player.lock();
}
void SlideshowProject::setDirector(std::shared_ptr<ProjectDirector> value) {
    std::lock_guard lock(mutex);
    player = std::move(value);
}

void SlideshowProject::setThemeManger(std::shared_ptr<SlideshowThemeManager> manager) {
    themeManager = manager ? std::move(manager) : std::make_shared<SlideshowThemeManager>();
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
    coder.encodeObject(platform::ArchivableRef(themeManager), "themeManger");
    coder.encodeObject(archive::arrayOf(slideshowArray()), "slideshowArray");
    coder.encodeObject(archive::arrayOf(musicArray()), "musicArray");
    coder.encodeFloat(photoDuration, "fltPhotoDuration");
    coder.encodeFloat(transitionDuration, "fltTransitionDuration");
    coder.encodeBool(musicSlideshow, "bIsMusicSideshow");
    coder.encodeObject(QVariant(fileRefreshDate), "dictFileRefreshDate");
    if (!themeBackground.isNull())
        coder.encodeObject(QVariant(themeBackground), "strThemeBackground");
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
    auto project = std::make_shared<SlideshowProject>();
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
        project->fileRefreshDate = *dates;
    if (coder.containsValueForKey("strThemeBackground"))
        project->themeBackground = archive::decodeString(coder, "strThemeBackground");
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
