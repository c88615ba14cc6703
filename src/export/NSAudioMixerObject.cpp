#include "export/NSAudioMixerObject.h"

#include "model/ContentsFolder.h"
#include "model/QuartzSlideItem.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/StandardPaths.h"

#include <algorithm>
#include <cmath>
#include <optional>

using platform::media::MediaAsset;
using platform::media::MediaTime;
using platform::media::MixInputParameters;
using platform::media::TimeRange;

namespace {

MediaTime at(double seconds) {
    return MediaTime::fromSeconds(seconds);
}

// Levels within 0.03 of each other count as the same.
bool sameLevel(float a, float b) {
    return std::fabs(a - b) <= 0.03f;
}

float endOf(const BKMusicVolumeInfo& window) {
    return window.fltStart + window.fltDuration;
}

// A window cut so that it ends no later than `end`.
BKMusicVolumeInfo cutAt(BKMusicVolumeInfo window, double end) {
    if (endOf(window) > end)
        window.fltDuration = static_cast<float>(end - window.fltStart);
    return window;
}

} // namespace

NSAudioMixerObject::NSAudioMixerObject(const SlideshowProjectRef& mixed)
    : project(mixed), explicitProject(mixed != nullptr) {}

NSAudioMixerObject::~NSAudioMixerObject() {
    StopPlayingMixedAudio();
}

std::shared_ptr<NSAudioMixerObject> NSAudioMixerObject::installNewMixer(const SlideshowProjectRef& target) {
    const SlideshowProjectRef owner = target ? target : SlideshowProject::mainProject();
    auto mixer = std::make_shared<NSAudioMixerObject>(owner);
    if (owner)
        owner->setAudioMixer(mixer);
    return mixer;
}

SlideshowProjectRef NSAudioMixerObject::mixedProject() const {
    return explicitProject ? project.lock() : SlideshowProject::mainProject();
}

double NSAudioMixerObject::totalDuration() const {
    const auto owner = mixedProject();
    const double total = owner ? owner->slideshowTotalDuration() : 0.0;
    return std::isfinite(total) ? total : 0.0;
}

void NSAudioMixerObject::mixProjectAudio() {
    mixForPlaying = false;
    mixProjectAudio_Sub();
}

void NSAudioMixerObject::mixProjectAudioForPlaying() {
    mixForPlaying = true;
    mixProjectAudio_Sub();
}

void NSAudioMixerObject::startBuild() {
    insertTime = 0.0;
    params.clear();
    mix = platform::media::Composition();
    trackBK = nullptr;
    backgroundLevels = MixInputParameters();
    fades.clear();
    clipWindows.clear();
    assets.clear();
}

void NSAudioMixerObject::mixProjectAudio_Sub() {
    startBuild();
    trackBK = &mix.addTrack();
    backgroundLevels = MixInputParameters(trackBK->trackID());
    const auto owner = mixedProject();
    if (!owner)
        return;
    const double total = totalDuration();
    getHighPriorityBKMusicVolumeInfo(&clipWindows);
    layBackgroundMusic(*owner, total);
    addSlideSounds(*owner);
    params.push_back(backgroundLevels);
}

void NSAudioMixerObject::layBackgroundMusic(const SlideshowProject& owner, double total) {
    const auto songs = owner.musicArray();
    if (songs.empty()) {
        laySilence(*trackBK, total);
        return;
    }
    const QString contents = owner.strMacProjectBundleContentsPath();
    const float level = owner.fltBackgroundMusicVolumeWhenPhotos();
    assets.expectSongLengths(songs, contents);
    for (;;) {
        const double passStart = insertTime;
        bool reached = false;
        for (const auto& song : songs) {
            addBackgroudMusicWithSingleCompositionTrackBK(song->strFilePathIn(contents), level);
            const double diff = mix.duration().seconds() - total;
            if (std::fabs(diff) < 0.8 || diff > 3.0) {
                reached = true;
                break;
            }
        }
        if (!owner.bBackgroundMusicLoopFlag()) {
            padBackgroundToTotal(total);
            return;
        }
        if (reached || mixForPlaying)
            return;
        // Songs that are all unreadable or empty would repeat for ever, and songs of a few milliseconds
        // (a received project can carry them) tens of thousands of times.
        if (mix_support::passTooShortToRepeat(passStart, insertTime)) {
            padBackgroundToTotal(total);
            return;
        }
    }
}

void NSAudioMixerObject::padBackgroundToTotal(double total) {
    if (total <= insertTime)
        return;
    const auto ticks = static_cast<int64_t>((total - insertTime + 0.5) * MediaTime::kDefaultTimescale);
    trackBK->insertEmptyTimeRange({at(insertTime), MediaTime(ticks, MediaTime::kDefaultTimescale)});
}

void NSAudioMixerObject::laySilence(platform::media::CompositionTrack& track, double total) {
    const MediaAsset& silence = assets.open(platform::paths::pathForResource("silence1s", "mp3"));
    if (const auto length = mix_support::insertUpTo(track, silence, insertTime, total))
        insertTime += length->seconds();
    mix_support::fillGap(track, insertTime, total);
}

void NSAudioMixerObject::addSlideSounds(const SlideshowProject& owner, SlideSounds which) {
    const auto slides = owner.slideshowArray();
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const SlideItem& slide = *slides[i];
        if (slide.itemType() == SlideItem::kItemTypePhoto) {
            addPhotoSound(slide.strSoundFileName(), owner.getSlideStartTime(i),
                          owner.strMacProjectBundleContentsPath());
        } else if (slide.itemType() == SlideItem::kItemTypeQuartz && which != SlideSounds::Current) {
            const auto* composition = dynamic_cast<const QuartzSlideItem*>(&slide);
            if (composition && !composition->strVideoFilePath().isEmpty())
                AddSlideItemMusic(composition->strVideoFilePath(), owner.getSlideStartTime(i));
        } else if (slide.itemType() == SlideItem::kItemTypeVideo && which == SlideSounds::AllAtSlideStart) {
            const auto* clip = dynamic_cast<const VideoSlideItem*>(&slide);
            if (clip && !clip->strVideoFilePath().isEmpty())
                AddSlideItemMusic(clip->strVideoFilePath(), owner.getSlideStartTime(i));
        } else if (slide.itemType() == SlideItem::kItemTypeVideo && !mixForPlaying) {
            // A mix for an export carries the clip's sound; in the preview a clip plays its own sound itself.
            const auto* clip = dynamic_cast<const VideoSlideItem*>(&slide);
            if (clip && !clip->strVideoFilePath().isEmpty())
                AddSlideItemMusic(clip->strVideoFilePath(), owner.getSlideAudioStartTime(i),
                                  clip->fltOutputVolume());
        }
    }
}

void NSAudioMixerObject::addPhotoSound(const QString& stored, float start, const QString& contents) {
    if (stored.isEmpty())
        return;
    const QString sound = ContentsFolder::slideSoundFile(stored, contents);
    if (sound.isEmpty()) {
        assets.refuse(stored);
        return;
    }
    assets.openSong(sound); // a recording must hold sound, as a song must
    AddSlideItemMusic(sound, start);
}

void NSAudioMixerObject::getHighPriorityBKMusicVolumeInfo(std::vector<BKMusicVolumeInfo>* windows) const {
    const auto owner = mixedProject();
    if (!windows || !owner)
        return;
    const auto slides = owner->slideshowArray();
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const SlideItem& slide = *slides[i];
        if (slide.itemType() != SlideItem::kItemTypeVideo)
            continue;
        // A clip's own music level, else the level of this project (not of whichever project is open).
        const auto* clip = dynamic_cast<const VideoSlideItem*>(&slide);
        const float level = clip && clip->isCustomizedBKMusicVolume()
                                ? clip->fltBKMusicVolume()
                                : owner->fltBackgroundMusicVolumeWhenVideos();
        windows->push_back({owner->getSlideAudioStartTime(i),
                            slide.fSecPhotoDuration() + slide.fSecTransitionDuration(), level});
    }
}

bool NSAudioMixerObject::addBackgroudMusicWithSingleCompositionTrackBK(const QString& path, float volume) {
    if (path.isEmpty() || !trackBK)
        return false;
    const MediaAsset& song = assets.openSong(path);
    const double start = insertTime;
    const auto length = mix_support::insertUpTo(*trackBK, song, start, totalDuration());
    if (!length)
        return false;
    const auto windows = songVolumeWindows(start, length->seconds(), volume, clipWindows);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const float before = i > 0 ? windows[i - 1].fltVolume : 0.0f;
        const float after = i + 1 < windows.size() ? windows[i + 1].fltVolume : 0.0f;
        addBackgroudMusicVolumeControl(windows[i], before, after);
    }
    insertTime += length->seconds();
    return true;
}

std::vector<BKMusicVolumeInfo>
NSAudioMixerObject::songVolumeWindows(double start, double length, float volume,
                                      const std::vector<BKMusicVolumeInfo>& clips) {
    const double end = start + length;
    std::vector<BKMusicVolumeInfo> windows;
    // The stretch at the song's own level that waits for its length; none before the first clip window.
    std::optional<BKMusicVolumeInfo> pending;
    for (const BKMusicVolumeInfo& clip : clips) {
        if (clip.fltStart > end)
            break;
        if (clip.fltStart >= start && clip.fltStart < end && !sameLevel(volume, clip.fltVolume)) {
            if (!pending)
                pending = BKMusicVolumeInfo{static_cast<float>(start), 0.0f, volume};
            pending->fltDuration = clip.fltStart - pending->fltStart;
            const BKMusicVolumeInfo window =
                cutAt({pending->fltStart + pending->fltDuration, clip.fltDuration, clip.fltVolume}, end);
            if (std::fabs(window.fltStart - pending->fltStart) > 0.03f && pending->fltDuration > 0.1f)
                windows.push_back(*pending);
            windows.push_back(window);
            pending = BKMusicVolumeInfo{endOf(window), 0.0f, volume};
        } else if (clip.fltStart < start && start < endOf(clip)) {
            // A clip window carried over from the previous song keeps its level, whatever it is.
            const BKMusicVolumeInfo window = cutAt(
                {static_cast<float>(start), static_cast<float>(endOf(clip) - start), clip.fltVolume}, end);
            windows.push_back(window);
            pending = BKMusicVolumeInfo{endOf(window), 0.0f, volume};
        }
    }
    if (windows.empty())
        return {{static_cast<float>(start), static_cast<float>(length), volume}};
    if (std::fabs(windows.front().fltStart - start) > 0.03)
        windows.insert(windows.begin(), {static_cast<float>(start),
                                         static_cast<float>(windows.front().fltStart - start), volume});
    const float lastEnd = endOf(windows.back());
    if (end - lastEnd > 0.1)
        windows.push_back({lastEnd, static_cast<float>(end - lastEnd), volume});
    return windows;
}

TimeRange NSAudioMixerObject::overlappingFades(const TimeRange& range) const {
    TimeRange covered; // invalid: nothing overlaps yet
    for (const TimeRange& fade : fades) {
        const TimeRange common = fade.intersection(range);
        if (common.isValid() && common.duration.value > 0)
            covered = covered.unionWith(fade.unionWith(range));
    }
    return covered;
}

bool NSAudioMixerObject::addBackgroudMusicVolumeControl(const BKMusicVolumeInfo& window,
                                                        float fadeinStartVolume, float fadeoutEndVolume) {
    const double fade = mix_support::fadeLength(window.fltDuration);
    const double end = static_cast<double>(window.fltStart) + window.fltDuration;
    if (fade <= 0.0) {
        // Too short to fade: the levels step where the fades would have been.
        backgroundLevels.setVolume(window.fltVolume, at(window.fltStart));
        backgroundLevels.setVolume(fadeoutEndVolume, at(end));
        return true;
    }
    const TimeRange fadeIn = TimeRange::fromSeconds(window.fltStart, fade);
    if (const TimeRange covered = overlappingFades(fadeIn); covered.isValid()) {
        backgroundLevels.setVolume(window.fltVolume, covered.end() + at(0.1));
    } else {
        backgroundLevels.setVolumeRamp(fadeinStartVolume, window.fltVolume, fadeIn);
        fades.push_back(fadeIn);
    }
    const TimeRange fadeOut = TimeRange::fromSeconds(end - fade, fade);
    if (const TimeRange covered = overlappingFades(fadeOut); covered.isValid()) {
        backgroundLevels.setVolume(fadeoutEndVolume, covered.start - at(0.1));
    } else {
        backgroundLevels.setVolumeRamp(window.fltVolume, fadeoutEndVolume, fadeOut);
        fades.push_back(fadeOut);
    }
    return true;
}

bool NSAudioMixerObject::AddSlideItemMusic(const QString& path, float start, float volume) {
    if (path.isEmpty())
        return false;
    const MediaAsset& sound = assets.open(path);
    if (!sound.isValid())
        return false;
    platform::media::CompositionTrack& track = mix.addTrack();
    if (!sound.hasAudio())
        return false;
    const TimeRange source = sound.audioTimeRange();
    if (!track.insertTimeRange(source, sound, at(start)))
        return false;
    const float level = std::clamp(volume, 0.0f, 1.0f);
    params.push_back(mix_support::fadedLevels(track.trackID(), level, start, source.duration.seconds()));
    return true;
}

bool NSAudioMixerObject::PlayMixedAudioFrom(double seconds) {
    return preview.playFrom(mix, audioMix(), seconds);
}

void NSAudioMixerObject::StopPlayingMixedAudio() {
    preview.stop();
}

void NSAudioMixerObject::seekToBegin() {
    preview.seekToBegin();
}
