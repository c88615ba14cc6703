#include "model/VideoSlideItem.h"

#include "model/ArchiveCoding.h"
#include "model/SlideshowProject.h"

VideoSlideItem::VideoSlideItem() {
    applyClipSettings();
}

// Every way a clip slide comes into being ends with these: type 3, durations fixed by the clip,
// and no pan or zoom.
void VideoSlideItem::applyClipSettings() {
    setItemType(kItemTypeVideo);
    setBCustomDurationFlag(true);
    setZoomStart(1.0);
    setZoomEnd(1.0);
}

std::shared_ptr<VideoSlideItem> VideoSlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = std::make_shared<VideoSlideItem>();
    slide->decodeFields(coder);
    return slide;
}

void VideoSlideItem::decodeFields(platform::KeyedUnarchiver& coder) {
    SlideItem::decodeFields(coder);
    applyClipSettings();
    const float level =
        coder.containsValueForKey("fltOutputVolume") ? coder.decodeFloat("fltOutputVolume") : 0.9f;
    outputVolume = (level >= 0.0f && level <= 1.0f) ? level : 0.9f;
    const float music =
        coder.containsValueForKey("fltBKMusicVolume") ? coder.decodeFloat("fltBKMusicVolume") : -1.0f;
    bkMusicVolume = (music >= 0.0f && music <= 0.9f) ? music : -1.0f;
    const QString path = archive::decodeString(coder, "strVideoFilePath");
    setStrVideoFilePath(path);
    if (!path.isEmpty())
        PrepareVideoItem(path);
}

void VideoSlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    SlideItem::encodeWithCoder(coder);
    coder.encodeFloat(fltOutputVolume(), "fltOutputVolume");
    // The clip's own level, or -1 when it follows the project: storing the project's level here would
    // turn it into the clip's own level at the next load, and later project changes would pass it by.
    coder.encodeFloat(isCustomizedBKMusicVolume() ? bkMusicVolume.load() : -1.0f, "fltBKMusicVolume");
    coder.encodeObject(archive::objectOrNil(strVideoFilePath()), "strVideoFilePath");
}

std::shared_ptr<SlideItem> VideoSlideItem::copy() const {
    auto other = std::make_shared<VideoSlideItem>();
    other->setStrVideoFilePath(strVideoFilePath());
    other->setFltOutputVolume(fltOutputVolume());
    if (isCustomizedBKMusicVolume())
        other->customizeBKMusicVolume(bkMusicVolume.load());
    return other;
}

void VideoSlideItem::PrepareVideoItem(const QString& path) {
    setBCustomDurationFlag(true);
    setStrVideoFilePath(path);
}

void VideoSlideItem::deleteFilesForDeletingItem() {
    // The clip is the copy inside the project's "videos" folder; a path from elsewhere is left alone.
    deleteFileInsideOpenProject(strVideoFilePath());
    SlideItem::deleteFilesForDeletingItem();
}

QString VideoSlideItem::strVideoFilePath() const {
    std::lock_guard lock(pathMutex);
    return videoFilePath;
}

void VideoSlideItem::setStrVideoFilePath(const QString& path) {
    std::lock_guard lock(pathMutex);
    videoFilePath = path;
}

float VideoSlideItem::fltOutputVolume() const {
    const float level = outputVolume.load();
    return (level >= 0.0f && level <= 1.0f) ? level : 0.8f;
}

float VideoSlideItem::fltBKMusicVolume() const {
    const float level = bkMusicVolume.load();
    if (level < -0.00001f) {
        const auto project = SlideshowProject::currentMainProject();
        return project ? project->fltBackgroundMusicVolumeWhenVideos()
                       : SlideshowProject::kDefaultVolumeWhenVideos;
    }
    return (level >= 0.0f && level <= 1.0f) ? level : 0.0f;
}

bool VideoSlideItem::isCustomizedBKMusicVolume() const {
    const float level = bkMusicVolume.load();
    return level >= 0.0f && level <= 1.0f;
}

void VideoSlideItem::customizeBKMusicVolume(float level) {
    if (level >= 0.0f && level <= 1.0f)
        bkMusicVolume = level;
}
