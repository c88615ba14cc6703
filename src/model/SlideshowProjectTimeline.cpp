// The project's timeline arithmetic: frame layout, totals, start times, fitting to the music,
// timeline rectangles and the removal of missing files; with the earlier forms beside them.
#include "model/ContentsFolder.h"
#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "model/TimelineAxis.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/Parallel.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/image/DecodeBudget.h"
#include "platform/image/PictureReading.h"
#include "platform/media/AudioReader.h"

#include <QFileInfo>
#include <QImage>
#include <QUuid>

#include <cmath>
#include <set>

namespace {

constexpr quint64 kMaxFrame = quint64(std::numeric_limits<qint64>::max());

// x truncated into a frame count, without the undefined behaviour of negative or huge values.
quint64 truncatedFrames(double x) {
    if (!(x > 0.0))
        return 0;
    if (x >= double(kMaxFrame))
        return kMaxFrame;
    return quint64(x);
}

// The layout's rounding: the single-precision product plus one half, truncated.
quint64 nearestFrame(float product) {
    return truncatedFrames(double(product) + 0.5);
}

quint64 saturatingAdd(quint64 a, quint64 b) {
    return (a > kMaxFrame - std::min(b, kMaxFrame)) ? kMaxFrame : a + b;
}

bool isFixedSlide(const SlideItem& slide) {
    return slide.bCustomDurationFlag() || slide.itemType() == SlideItem::kItemTypeVideo;
}

QVariantMap fittingResult(const char* failType, const char* description) {
    return {{"failType", QString::fromLatin1(failType)},
            {"desc", tr_(description)},
            {"result", qstrcmp(failType, "Success") == 0}};
}

} // namespace

// ---- durations and frames

int SlideshowProject::nPhotoDurationFrameCount() const {
    return int(std::trunc(photoDuration * float(ulFrameRate())));
}

int SlideshowProject::nTransitionDurationFrameCount() const {
    return int(std::trunc(transitionDuration * float(ulFrameRate())));
}

quint64 SlideshowProject::nFrameSlideshowFadeIn() const {
    return nearestFrame(fadeIn * float(ulFrameRate()));
}

quint64 SlideshowProject::nFrameSlideshowFadeOut() const {
    return nearestFrame(fadeOut * float(ulFrameRate()));
}

bool SlideshowProject::calcSlideItemsPhotoTransitionDuration(const std::vector<SlideItemRef>& items) const {
    // Each boundary is the running time rounded, so the rounding of single durations never adds up.
    const float rate = float(ulFrameRate());
    float t = fadeIn;
    quint64 start = nFrameSlideshowFadeIn();
    for (const auto& slide : items) {
        slide->customSetnItemStartFrameIndex(start);
        t += slide->fSecPhotoDuration();
        const quint64 photoEnd = std::max(start, nearestFrame(t * rate));
        slide->customSetnPhotoDuration(photoEnd - start);
        t += slide->fSecTransitionDuration();
        const quint64 next = std::max(photoEnd, nearestFrame(t * rate));
        slide->customSetnTransitionDuration(next - photoEnd);
        start = next;
    }
    return true;
}

bool SlideshowProject::calcSlideItemsPhotoTransitionDuration() const {
    return calcSlideItemsPhotoTransitionDuration(slideshowArray());
}

quint64 SlideshowProject::totalFrameCountFromArray(const std::vector<SlideItemRef>& items) const {
    // Frame counts that were never laid out would read as huge numbers; lay them out first.
    if (std::any_of(items.begin(), items.end(), [](const SlideItemRef& s) { return !s->framesComputed(); }))
        calcSlideItemsPhotoTransitionDuration(items);
    quint64 total = nFrameSlideshowFadeIn();
    for (std::size_t i = 0; i < items.size(); ++i) {
        total = saturatingAdd(total, items[i]->nPhotoDuration());
        if (i + 1 < items.size())
            total = saturatingAdd(total, items[i]->nTransitionDuration());
    }
    return saturatingAdd(total, nFrameSlideshowFadeOut());
}

quint64 SlideshowProject::totalFrameCount() const {
    return totalFrameCountFromArray(slideshowArray());
}

double SlideshowProject::slideshowTotalDuration() const {
    const auto items = slideshowArray();
    double total = fadeIn;
    for (std::size_t i = 0; i < items.size(); ++i) {
        total += items[i]->fSecPhotoDuration();
        if (i + 1 < items.size())
            total += items[i]->fSecTransitionDuration();
    }
    return total + fadeOut;
}

double SlideshowProject::musicTotalDuration() const {
    const QString contents = strMacProjectBundleContentsPath();
    double total = 0.0;
    for (const auto& song : musicArray())
        total += song->durationIn(contents);
    return total;
}

bool SlideshowProject::doesSyncMusicAndSlideshowDuration() const {
    return std::fabs(musicTotalDuration() - slideshowTotalDuration()) < 2.1;
}

float SlideshowProject::getSlideStartTime(std::size_t index) const {
    const auto items = slideshowArray();
    if (index >= items.size())
        return 0.0f;
    float start = fadeIn;
    for (std::size_t i = 0; i < index; ++i)
        start += items[i]->fSecPhotoDuration() + items[i]->fSecTransitionDuration();
    return start;
}

float SlideshowProject::getSlideAudioStartTime(std::size_t index) const {
    const auto items = slideshowArray();
    if (index >= items.size())
        return 0.0f;
    float start = fadeIn;
    for (std::size_t i = 0; i < index; ++i) {
        start += items[i]->fSecPhotoDuration();
        if (i + 1 < index)
            start += items[i]->fSecTransitionDuration();
    }
    return start;
}

QString SlideshowProject::getSongTitle(int index) const {
    const auto items = musicArray();
    if (index < 0 || std::size_t(index) >= items.size())
        return QString();
    return items[std::size_t(index)]->strTitle();
}

QString SlideshowProject::timeToString(float seconds, bool wide, bool trim) {
    return MusicItem::timeToString(double(seconds), wide, trim);
}

// ---- fitting the photos to the music

QVariantMap SlideshowProject::syncMusicAndSlideshowDuration() {
    const auto items = slideshowArray();
    auto answer = [&](const char* failType, const char* description) {
        calcSlideItemsPhotoTransitionDuration(items);
        return fittingResult(failType, description);
    };
    if (items.empty())
        return answer("NoPhotos", "Please add at least 3 photos to get started!");
    if (musicArray().empty())
        return answer("NoMusic", "Please add 1 song to get started!");
    const float music = float(musicTotalDuration());
    int freeCount = 0;
    std::size_t lastFree = 0;
    float fixed = 0.0f;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!isFixedSlide(*items[i])) {
            ++freeCount;
            lastFree = i;
            continue;
        }
        fixed += items[i]->fSecPhotoDuration();
        if (i + 1 < items.size())
            fixed += items[i]->fSecTransitionDuration();
    }
    if (freeCount == 0)
        return answer("LockedDuration", "The duration of all photos are locked!");
    if (!(float(freeCount) <= music - fixed))
        return answer("DurationBKMusicTooShort", "The duration of background music is too short!");
    fitFreeSlides(items, music, fixed, freeCount, lastFree + 1 == items.size());
    setBIsDirty(true);
    return answer("Success", "The slideshow duration was synchronized successfully with music duration!");
}

void SlideshowProject::fitFreeSlides(const std::vector<SlideItemRef>& items, float music, float fixed,
                                     int freeCount, bool lastIsFree) {
    const float per = (music - fixed) / float(freeCount);
    // The fitting counts in frames of 30 per second whatever the output frame rate.
    const qint64 frames = qint64(truncatedFrames(per * 30.0f));
    const qint64 transitionFrames = frames / 3;
    const qint64 photoFrames = frames - transitionFrames;
    const float transition = float(transitionFrames) / 30.0f;
    const float photo = float(photoFrames) / 30.0f;
    // The last slide's transition is not shown; when that slide is free its frames are handed out.
    const qint64 leftover = lastIsFree ? transitionFrames : 0;
    const qint64 share = lastIsFree ? leftover / freeCount : 0;

    float ideal = 0.0f, laidOut = 0.0f;
    std::vector<SlideItem*> freeSlides;
    for (const auto& slide : items) {
        const float length = slide->fSecPhotoDuration() + slide->fSecTransitionDuration();
        if (isFixedSlide(*slide)) {
            ideal += length;
            laidOut += length;
            continue;
        }
        freeSlides.push_back(slide.get());
        ideal += per;
        const float end = laidOut + photo + transition;
        float photoSeconds = photo;
        if (ideal > end) {
            const qint64 behind = qint64(truncatedFrames((ideal - end) * 30.0f));
            if (behind > 0)
                photoSeconds = float(photoFrames + behind) / 30.0f;
        }
        slide->customSetDurations(photoSeconds, transition);
        laidOut += photoSeconds + transition;
    }
    if (leftover <= 0)
        return;
    auto grow = [](SlideItem* slide, qint64 extraFrames) {
        slide->customSetDurations(slide->fSecPhotoDuration() + float(extraFrames) / 30.0f,
                                  slide->fSecTransitionDuration());
    };
    if (share >= 1) {
        for (SlideItem* slide : freeSlides)
            grow(slide, share);
        grow(freeSlides.back(), leftover % freeCount);
    } else {
        for (qint64 i = 0; i < leftover && i < qint64(freeSlides.size()); ++i)
            grow(freeSlides[std::size_t(i)], 1);
    }
}

// ---- timeline and playback

void SlideshowProject::updateTimelineItemsPosition() {
    const int style = nTimelineStyle();
    if (style != 0 && style != 1)
        return;
    const auto items = slideshowArray();
    const float k = float(nTimelinePixelPerSecond());
    float running = 0.0f;
    for (std::size_t i = 0; i < items.size(); ++i) {
        SlideItem& slide = *items[i];
        const float length = slide.fSecPhotoDuration() + slide.fSecTransitionDuration();
        const double x = 170.0 * double(i);
        slide.setFSecStartTimePosition(running);
        if (style == 0) {
            slide.setTimelineRect(QRectF(x, 70, 170, 100));
            slide.setRectPhotoDuration(QRectF(x, 64, 100, 15));
            slide.setRectTransitionDuration(QRectF(x + 104, 85, 60, 15));
            slide.setRectTransitionIcon(QRectF(x + 104, 100, 60, 60));
        } else {
            slide.setTimelineRect(QRectF(k * running, 70, k * length, 100));
        }
        running += length;
    }

    // Both layer bands are 20 high in either style: the strip draws and hit-tests them there.
    auto layerRect = [&](float start, float end, double y) {
        const double x0 = timeline_axis::xForSeconds(items, style, int(k), double(start));
        const double x1 = timeline_axis::xForSeconds(items, style, int(k), double(end));
        return QRectF(x0, y, x1 - x0, 20);
    };
    for (const auto& layer : textLayerArray()) {
        const float start = layer->fSecStartTimePosition();
        const float end = start + layer->fSecPhotoDuration() + layer->fSecTransitionDuration();
        layer->setTimelineRect(layerRect(start, end, 175));
    }
    const QString contents = strMacProjectBundleContentsPath();
    for (const auto& layer : audioLayerArray()) {
        const float start = layer->fStartPosition();
        const float end = start + float(layer->durationIn(contents));
        layer->setTimelineRect(layerRect(start, end, 45));
    }
}

void SlideshowProject::ClearAllAudioLayerSelectedState() {
    for (const auto& layer : audioLayerArray())
        layer->setBSelectedState(false);
    ClearAllTextLayerSelectedState();
}

void SlideshowProject::ClearAllTextLayerSelectedState() {
    for (const auto& layer : textLayerArray())
        layer->setBSelectedState(false);
}

void SlideshowProject::resetPlayerToBegin() {
    if (auto audio = audioMixer())
        audio->seekToBegin();
    for (const auto& slide : slideshowArray())
        if (auto* clip = dynamic_cast<VideoSlideItem*>(slide.get()))
            clip->resetVideoItem();
    if (auto player = director())
        player->resetDirector();
}

void SlideshowProject::resetAllSlidesCustimzedDurationFlag() {
    for (const auto& slide : slideshowArray())
        slide->setBCustomDurationFlag(false);
    setBIsDirty(true);
}

void SlideshowProject::checkItemVaild() {
    const QString contents = strMacProjectBundleContentsPath();
    auto missing = [](const QString& path) { return !SlideItem::isPresentFile(path); };
    // A clip slide's pictures come from its clip: gone, they are made again, under new names to be saved. A
    // slide whose pictures cannot be made again (its clip unreadable) goes, as a photo without its picture.
    bool remade = false;
    std::set<const SlideItem*> pictureless;
    for (const SlideItemRef& slide : slideshowArray()) {
        auto* clip = dynamic_cast<VideoSlideItem*>(slide.get());
        if (!clip || !missing(clip->fileNameIn(contents)))
            continue;
        if (clip->makeMissingPictures(contents))
            remade = true;
        else
            pictureless.insert(clip);
    }
    const bool removed = shared.with([&](Shared& s) {
        const std::size_t slideCountBefore = s.slides.size(), songCountBefore = s.songs.size();
        std::erase_if(s.slides, [&](const SlideItemRef& slide) {
            return !slide->isPresentIn(contents) || pictureless.count(slide.get()) > 0;
        });
        std::erase_if(s.songs,
                      [&](const MusicItemRef& song) { return missing(song->strFilePathIn(contents)); });
        return s.slides.size() != slideCountBefore || s.songs.size() != songCountBefore;
    });
    if (removed || remade)
        setBIsDirty(true);
    calcSlideItemsPhotoTransitionDuration();
}

namespace {

// Whether an export can read every file it draws of the slide; `whole` asks only of its pictures, each
// decoded whole.
bool exportCanRead(const SlideItem& slide, std::optional<int> movingBackdrop, bool whole) {
    const auto usable = [whole](const QString& picture) {
        return SlideItem::isPictureUsable(picture, whole);
    };
    if (movingBackdrop && slide.drawsBackdropUnder(*movingBackdrop) &&
        !usable(slide.backgroudImageFileName()))
        return false;
    if (slide.drawsCaptionPicture() && !usable(slide.textImageFileName()))
        return false;
    if (!whole)
        return slide.isMediaFileUsable();
    // A picture still being made is waited for by the play, which fails the export should it never come.
    const bool photo =
        slide.itemType() != SlideItem::kItemTypeVideo && slide.itemType() != SlideItem::kItemTypeQuartz;
    return !photo || slide.isPictureBeingMade() || usable(slide.mediaFilePath());
}

// The refusal of a slide whose file cannot be drawn: a picture larger than the program reads says so.
QString slideFileRefusal(std::size_t index, const SlideItem& slide) {
    const platform::image::Picture header = platform::image::readPictureHeader(slide.mediaFilePath());
    if (header.fault == platform::image::PictureFault::TooLarge)
        return tr_("The file \"%2\" of slide %1 is %3.")
            .arg(index + 1)
            .arg(slide.userFileName(), header.reason());
    return tr_("The file \"%2\" of slide %1 is missing, empty or cannot be read.")
        .arg(index + 1)
        .arg(slide.userFileName());
}

// The photos' own sounds that an export would mix and cannot read (gone, empty, not a file the project may
// read, or not decoding from its start), each naming its slide's place and what to do: the sound can be
// mended or taken off in the Slide Sound window, so the slide itself need not go.
QStringList slideSoundRefusals(const std::vector<SlideItemRef>& slides, const QString& contents) {
    QStringList refusals;
    for (std::size_t i = 0; i < slides.size(); ++i) {
        const QString stored = slides[i]->strSoundFileName();
        if (slides[i]->itemType() != SlideItem::kItemTypePhoto || stored.isEmpty())
            continue;
        const QString sound = ContentsFolder::slideSoundFile(stored, contents);
        if (!sound.isEmpty() && QFileInfo(sound).size() > 0 &&
            platform::media::AudioReader::firstSoundDecodes(sound))
            continue;
        refusals << tr_("The sound \"%2\" of slide %1 is missing, empty or cannot be read: please choose the "
                        "slide's sound again, or take it off, in the Slide Sound window.")
                        .arg(i + 1)
                        .arg(slides[i]->userSoundFileName());
    }
    return refusals;
}

// The refusal of the theme's backdrop picture that the project names and cannot find (gone, or out of its
// reach: a pipe, a link out of the project) or that does not read (`whole`: decode whole); empty when it
// reads or none is named.
QString themePictureRefusal(const SlideshowProject& project, bool whole) {
    const QString name = project.themeBackgroundPictureName();
    const QString picture = project.themeBackgroundPicture();
    if (name.isEmpty() || (!picture.isEmpty() && SlideItem::isPictureUsable(picture, whole)))
        return QString();
    return tr_("The backdrop picture \"%1\" of the theme is missing, empty or cannot be read: please choose "
               "the backdrop again.")
        .arg(name);
}

// What the user can do about the slides and songs an export refused, by how many there are of each.
QString refusalAdvice(qsizetype slides, qsizetype songs) {
    if (slides == 0 && songs == 0)
        return tr_("The slideshow cannot be exported.");
    if (slides == 1 && songs == 0)
        return tr_("The slideshow cannot be exported: please remove this slide, or add its file again.");
    if (slides == 0 && songs == 1)
        return tr_("The slideshow cannot be exported: please remove this song, or add its file again.");
    if (songs == 0)
        return tr_("The slideshow cannot be exported: please remove these slides, or add their files again.");
    if (slides == 0)
        return tr_("The slideshow cannot be exported: please remove these songs, or add their files again.");
    if (slides == 1 && songs == 1)
        return tr_("The slideshow cannot be exported: please remove this slide and this song, or add their "
                   "files again.");
    if (songs == 1)
        return tr_("The slideshow cannot be exported: please remove these slides and this song, or add their "
                   "files again.");
    if (slides == 1)
        return tr_("The slideshow cannot be exported: please remove this slide and these songs, or add their "
                   "files again.");
    return tr_("The slideshow cannot be exported: please remove these slides and songs, or add their files "
               "again.");
}

} // namespace

std::optional<int> SlideshowProject::movingBackdropID() const {
    if (!themeBackgroundPictureName().isEmpty())
        return std::nullopt;
    const auto themes = themeManger();
    const int id = themes ? themes->currentThemeDict().value(QStringLiteral("backgroundID")).toInt() : 0;
    return SlideshowThemeManager::isMovingBackdrop(id) ? std::optional<int>(id) : std::nullopt;
}

QStringList SlideshowProject::missingSlideFiles() const {
    QStringList names;
    const std::optional<int> backdrop = movingBackdropID();
    for (const SlideItemRef& slide : slideshowArray())
        if (!exportCanRead(*slide, backdrop, false))
            names << slide->mediaFileName();
    return names;
}

QString SlideshowProject::missingSlideFilesMessage(const std::vector<MusicItemRef>& moreSongs) const {
    return exportRefusal(false, slideshowArray(), moreSongs);
}

QString SlideshowProject::undecodablePicturesMessage(const std::vector<SlideItemRef>& slides,
                                                     const std::function<bool()>& stopped) const {
    return exportRefusal(true, slides, {}, stopped);
}

QString SlideshowProject::exportRefusal(bool whole, const std::vector<SlideItemRef>& slides,
                                        const std::vector<MusicItemRef>& moreSongs,
                                        const std::function<bool()>& stopped) const {
    QStringList unusable;
    const std::optional<int> backdrop = movingBackdropID();
    // Decoding them whole takes a core's while for each: they share the cores.
    std::vector<char> readable(slides.size());
    platform::forEachIndex(slides.size(), whole ? platform::coreCount() : 1, [&](std::size_t i) {
        const platform::image::DecodeStopping stopping(stopped); // a decode waiting for memory stops too
        readable[i] = (stopped && stopped()) || exportCanRead(*slides[i], backdrop, whole);
    });
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (!readable[i])
            unusable << slideFileRefusal(i, *slides[i]);
    const qsizetype slideCount = unusable.size();
    const QString contents = strMacProjectBundleContentsPath();
    if (!whole)
        unusable << slideSoundRefusals(slides, contents);
    const qsizetype songsFrom = unusable.size();
    // A protected song is refused by the export itself, which tells the user to remove it.
    const auto protectedSong = [&](const MusicItem& song) {
        return QFileInfo(song.strFilePathIn(contents))
                   .suffix()
                   .compare(QLatin1String("m4p"), Qt::CaseInsensitive) == 0;
    };
    std::vector<MusicItemRef> songs = whole ? std::vector<MusicItemRef>() : musicArray();
    songs.insert(songs.end(), moreSongs.begin(), moreSongs.end());
    for (const MusicItemRef& song : songs)
        if (song && !protectedSong(*song) && !song->isUsableIn(contents))
            unusable << tr_("The song \"%1\" is missing, empty, cut short or cannot be read.")
                            .arg(song->strTitle());
    const qsizetype songCount = unusable.size() - songsFrom;
    if (const QString theme = themePictureRefusal(*this, whole); !theme.isEmpty())
        unusable << theme;
    if (unusable.isEmpty())
        return QString();
    return unusable.join(QStringLiteral(" ")) + QStringLiteral(" ") + refusalAdvice(slideCount, songCount);
}

QString SlideshowProject::slideFileLostMessage(std::size_t index, const SlideItem& slide) {
    return tr_("The file \"%2\" of slide %1 went missing or became unreadable during the export.")
        .arg(index + 1)
        .arg(slide.userFileName());
}

namespace {

// What a damaged file's sound costs, as the user is told it: "The song "X" is damaged: ...".
QString damageAdvice(double spoiltSeconds) {
    return tr_("%1 s of its sound cannot be read. Replace it or remove it from the slideshow.")
        .arg(QString::number(spoiltSeconds, 'f', 1));
}

} // namespace

QString SlideshowProject::songFileLostMessage(const QString& title, double spoiltSeconds) {
    if (spoiltSeconds > 0.0)
        return tr_("The song \"%1\" is damaged: %2").arg(title, damageAdvice(spoiltSeconds));
    return tr_("The song \"%1\" went missing or became unreadable during the export.").arg(title);
}

QString SlideshowProject::themePictureLostMessage() const {
    return tr_("The backdrop picture \"%1\" of the theme went missing or became unreadable during the "
               "export.")
        .arg(themeBackgroundPictureName());
}

QString SlideshowProject::soundFileLostMessage(const QString& path, double spoiltSeconds) const {
    const bool damaged = spoiltSeconds > 0.0;
    const QString contents = strMacProjectBundleContentsPath();
    for (const MusicItemRef& song : musicArray())
        if (song && song->strFilePathIn(contents) == path)
            return songFileLostMessage(song->strTitle(), spoiltSeconds);
    const auto slides = slideshowArray();
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (slides[i]->mediaFilePath() == path)
            return damaged ? tr_("The file \"%2\" of slide %1 is damaged: %3")
                                 .arg(i + 1)
                                 .arg(slides[i]->userFileName(), damageAdvice(spoiltSeconds))
                           : slideFileLostMessage(i, *slides[i]);
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (!path.isEmpty() && slides[i]->itemType() == SlideItem::kItemTypePhoto &&
            slides[i]->strSoundFileName() == path)
            return damaged ? tr_("The sound \"%2\" of slide %1 is damaged: %3")
                                 .arg(i + 1)
                                 .arg(slides[i]->userSoundFileName(), damageAdvice(spoiltSeconds))
                           : tr_("The sound \"%2\" of slide %1 went missing or became unreadable during the "
                                 "export.")
                                 .arg(i + 1)
                                 .arg(slides[i]->userSoundFileName());
    if (damaged)
        return tr_("The file \"%1\" is damaged: %2")
            .arg(QFileInfo(path).fileName(), damageAdvice(spoiltSeconds));
    return tr_("The file \"%1\" went missing or became unreadable during the export.")
        .arg(QFileInfo(path).fileName());
}

QString SlideshowProject::stringWithUUID() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString SlideshowProject::strProjectBundleName() const {
    const QString folder = strMacProjectBundleFullPath();
    if (folder.isEmpty())
        return QString();
    QString name = QFileInfo(folder).fileName();
    name.remove(docExtenstionName(), Qt::CaseInsensitive);
    return name;
}

// ---- earlier forms and stand-ins without a caller

quint64 SlideshowProject::totalFrameCount_old() const {
    const quint64 photo = quint64(std::max(0, nPhotoDurationFrameCount()));
    const quint64 transition = quint64(std::max(0, nTransitionDurationFrameCount()));
    return quint64(slideCount()) * (photo + transition / 2) + photo / 2;
}

float SlideshowProject::getSlideStartTime_Old(std::size_t index) const {
    const auto items = slideshowArray();
    if (index >= items.size())
        return 0.0f;
    const float start = getSlideStartTime(index);
    return index == 0 ? start : start - items[index - 1]->fSecTransitionDuration();
}

QVariantMap SlideshowProject::syncMusicAndSlideshowDuration_Old() {
    const std::size_t count = slideCount();
    if (count == 0)
        return fittingResult("NoPhotos", "Please add at least 3 photos to get started!");
    if (musicArray().empty())
        return fittingResult("NoMusic", "Please add 1 song to get started!");
    const double music = musicTotalDuration() - 1.0;
    const double per = music / double(count);
    if (per >= 3.0 && per <= 10.0) {
        setFltTransitionDuration(2.0f);
        setFltPhotoDuration(float(per - 0.5 * 2.0));
        setBIsDirty(true);
        return fittingResult("Success",
                             "The slideshow duration was synchronized successfully with music duration!");
    }
    // Counts of photos: music too short for a photo gives none, never fewer.
    const auto photos = [](double x) { return x > 0.0 ? int(std::min(x + 0.5, 1e9)) : 0; };
    const int most = photos(music / 3.1);
    const int least = photos(music / 9.9);
    const int usual = photos(music / 5.0);
    // The share per slide tells which way the count is off; comparing the rounded least count with the
    // slide count instead would ask to remove a negative number of photos near 10 s a slide.
    const bool tooMany = per < 3.0;
    const int about = std::max(1, tooMany ? int(count) - usual : usual - int(count));
    const char* advice =
        tooMany ? "\nTo synchronize successfully, you need %d ~ %d photos in slideshow.\n\nPlease "
                  "remove about %d photos from current project.\n"
                : "\nTo synchronize successfully, you need %d ~ %d photos in slideshow.\n\nPlease "
                  "add about %d photos to current project.\n";
    QVariantMap answer = fittingResult(tooMany ? "MorePhotos" : "LessPhotos", "");
    answer.insert("desc", QString::asprintf(qPrintable(tr_(advice)), least, most, about));
    answer.insert("nExceptCountMax", most);
    answer.insert("nExceptCountMin", least);
    answer.insert("nExceptCountDefault", usual);
    return answer;
}

QVariantList SlideshowProject::mediaItemsArray(const QVariantList& /*items*/) const {
    return {};
}

QString SlideshowProject::moveFileToProjectFolder(const QString& /*path*/) const {
    return QString();
}

float SlideshowProject::fltPrevSlideItemsDurationDelta(std::size_t /*index*/, bool /*transition*/) const {
    return 0.0f;
}

QImage SlideshowProject::seletedItemFlagFrameImage() {
    return QImage(
        platform::paths::pathForResource(QStringLiteral("item_selected_new"), QStringLiteral("png")));
}
