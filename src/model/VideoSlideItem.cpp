#include "model/VideoSlideItem.h"

#include "model/ArchiveCoding.h"
#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItemState.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StringTable.h"

#include <QFileInfo>

namespace {

bool isLevel(float level) {
    return level >= 0.0f && level <= 1.0f;
}

} // namespace

VideoSlideItem::VideoSlideItem() : reading(std::make_unique<Reading>()), sound(std::make_shared<Sound>()) {
    applyClipSettings();
}

VideoSlideItem::~VideoSlideItem() {
    stopReading();
    // The player belongs to the main thread; the last holder of a slide may be a loader thread.
    platform::runOnMainThread([gone = std::move(sound)]() mutable { gone.reset(); });
}

// Every way a clip slide comes into being ends with these: type 3, durations fixed by the clip,
// and no pan or zoom.
void VideoSlideItem::applyClipSettings() {
    setItemType(kItemTypeVideo);
    setBCustomDurationFlag(true);
    setZoomStart(1.0);
    setZoomEnd(1.0);
}

// ---- archive

std::shared_ptr<VideoSlideItem> VideoSlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = platform::makeMainThreadShared<VideoSlideItem>();
    slide->decodeFields(coder);
    return slide;
}

void VideoSlideItem::decodeFields(platform::KeyedUnarchiver& coder) {
    SlideItem::decodeFields(coder);
    applyClipSettings();
    const float level =
        coder.containsValueForKey("fltOutputVolume") ? coder.decodeFloat("fltOutputVolume") : 0.9f;
    outputVolume = isLevel(level) ? level : 0.9f;
    // -1 (any negative value) is "no level of its own"; every level the clip can be given comes back.
    const float music =
        coder.containsValueForKey("fltBKMusicVolume") ? coder.decodeFloat("fltBKMusicVolume") : -1.0f;
    bkMusicVolume = isLevel(music) ? music : -1.0f;
    // Nothing is read yet: the stored path may lead anywhere, so the clip is opened only once the slide's
    // project has its folder (locateVideoInProject), never from whichever project happens to be open.
    clipPaths.set({archive::decodeString(coder, "strVideoFilePath"), QString()});
}

void VideoSlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    SlideItem::encodeWithCoder(coder);
    coder.encodeFloat(fltOutputVolume(), "fltOutputVolume");
    // The clip's own level, or -1 when it follows the project: storing the project's level here would
    // turn it into the clip's own level at the next load, and later project changes would pass it by.
    coder.encodeFloat(isCustomizedBKMusicVolume() ? bkMusicVolume.load() : -1.0f, "fltBKMusicVolume");
    coder.encodeObject(archive::objectOrNil(clipPaths.get(&ClipPaths::stored)), "strVideoFilePath");
}

std::shared_ptr<SlideItem> VideoSlideItem::copy() const {
    auto other = platform::makeMainThreadShared<VideoSlideItem>();
    other->clipPaths.set(clipPaths.get());
    other->setFltOutputVolume(fltOutputVolume());
    if (isCustomizedBKMusicVolume())
        other->customizeBKMusicVolume(bkMusicVolume.load());
    return other;
}

// ---- opening

bool VideoSlideItem::isImportableClip(const QString& path, QString* error) {
    const QString name = QFileInfo(path).fileName();
    const auto asset = platform::media::MediaAsset::open(path, false);
    QString problem;
    if (!asset.isValid())
        problem = tr_("\"%1\" cannot be read: %2").arg(name, asset.errorString());
    else if (!asset.hasVideo() || asset.videoTimeRange().duration.seconds() <= 0.0)
        problem = tr_("\"%1\" is not a video clip: it holds no pictures.").arg(name);
    else if (platform::media::endsBeforeItsLength(path)) // its end would play as a frozen picture
        problem = tr_("\"%1\" is cut short: the end of its pictures is missing.").arg(name);
    if (error)
        *error = problem;
    return problem.isEmpty();
}

QString VideoSlideItem::videoPathInProject(const QString& path, const QString& contentsFolder) {
    return ContentsFolder::clipInProject(path, contentsFolder);
}

bool VideoSlideItem::isMediaFileUsable() const {
    const QString path = mediaFilePath();
    if (!isPresentFile(path) || QFileInfo(path).size() == 0)
        return false;
    platform::media::VideoReader reader;
    platform::media::VideoFrame first;
    if (!reader.open(path) || !reader.readFrame(first))
        return false;
    // What its container tells: a clip replaced by a shorter one since the slide measured it would stand
    // still for the rest of the slide.
    const platform::media::MediaTime told = reader.duration();
    const float measured = mediaSeconds.load();
    return !told.isValid() || measured < 0.0f || !platform::media::isClearlyShorter(told.seconds(), measured);
}

bool VideoSlideItem::locateVideoInProject(const QString& contentsFolder) {
    const QString found = videoPathInProject(clipPaths.get(&ClipPaths::stored), contentsFolder);
    prepareClip(found);
    return !found.isEmpty();
}

void VideoSlideItem::PrepareVideoItem(const QString& requested) {
    QString path = requested;
    if (const auto project = SlideshowProject::currentMainProject())
        path = videoPathInProject(requested, project->strMacProjectBundleContentsPath());
    clipPaths.set({requested, QString()});
    prepareClip(path);
}

void VideoSlideItem::prepareClip(const QString& path) {
    setBCustomDurationFlag(true);
    if (!path.isEmpty())
        setStrVideoFilePath(path);
    if (!readFromURL(path))
        return;
    {
        const std::lock_guard lock(readerMutex);
        reading->bAudio = false;
    }
    stopAudioPlaying();
    bool needSound;
    {
        const std::lock_guard lock(sound->mutex);
        needSound = !sound->made;
        sound->made = true;
    }
    if (needSound)
        AddSlideItemMusic(path, 0.0f);
    {
        const std::lock_guard lock(readerMutex);
        reading->previousTimeStamp = platform::media::MediaTime(0, 1);
    }
    // The clip's facts (turn, size, durations) now; the decoder opens at the slide's first frame, so a
    // project with many clips does not hold a decoder for each of them.
    setUpReaderReturningError();
    stopReading();
}

bool VideoSlideItem::readFromURL(const QString& path, QString* error) {
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("The clip has no file.");
        return false;
    }
    auto opened = platform::media::MediaAsset::open(path, true);
    const std::lock_guard lock(readerMutex);
    if (!opened.isValid()) {
        if (error)
            *error = opened.errorString();
        reading->asset.reset();
        return false;
    }
    reading->asset = std::move(opened);
    return true;
}

bool VideoSlideItem::hasAsset() const {
    const std::lock_guard lock(readerMutex);
    return reading->asset.has_value();
}

std::optional<platform::media::MediaAsset> VideoSlideItem::asset() const {
    const std::lock_guard lock(readerMutex);
    return reading->asset;
}

// When the clip is longer than the transition into the next slide, the transition eats into it;
// otherwise the whole clip plays on its own and there is no transition.
void VideoSlideItem::applyClipDurations(float clipSeconds) {
    mediaSeconds = clipSeconds;
    if (clipSeconds > fSecTransitionDuration()) {
        setFSecPhotoDuration(clipSeconds - fSecTransitionDuration());
    } else {
        setFSecPhotoDuration(clipSeconds);
        SlideItem::setFSecTransitionDuration(0.0f);
    }
}

float VideoSlideItem::clipDuration() const {
    const float seconds = mediaSeconds.load();
    return seconds >= 0.0f ? seconds : fSecPhotoDuration() + fSecTransitionDuration();
}

void VideoSlideItem::setFSecTransitionDuration(float seconds) {
    SlideItem::setFSecTransitionDuration(seconds);
    const float clip = mediaSeconds.load();
    if (clip >= 0.0f)
        applyClipDurations(clip);
}

// ---- files

QString VideoSlideItem::mediaFileName() const {
    const QString name = QFileInfo(clipPaths.get(&ClipPaths::stored)).fileName();
    return name.isEmpty() ? SlideItem::mediaFileName() : name;
}

QStringList VideoSlideItem::filesForDeleting() const {
    return SlideItem::filesForDeleting() << strVideoFilePath();
}

QString VideoSlideItem::strVideoFilePath() const {
    return clipPaths.get(&ClipPaths::read);
}

void VideoSlideItem::setStrVideoFilePath(const QString& path) {
    clipPaths.set({path, path});
}

// ---- levels

float VideoSlideItem::fltOutputVolume() const {
    const float level = outputVolume.load();
    return isLevel(level) ? level : 0.8f;
}

float VideoSlideItem::fltBKMusicVolume() const {
    const float level = bkMusicVolume.load();
    if (level < -0.00001f) {
        const auto project = SlideshowProject::currentMainProject();
        return project ? project->fltBackgroundMusicVolumeWhenVideos()
                       : SlideshowProject::kDefaultVolumeWhenVideos;
    }
    return isLevel(level) ? level : 0.0f;
}

bool VideoSlideItem::isCustomizedBKMusicVolume() const {
    return isLevel(bkMusicVolume.load());
}

void VideoSlideItem::customizeBKMusicVolume(float level) {
    if (isLevel(level))
        bkMusicVolume = level;
}
