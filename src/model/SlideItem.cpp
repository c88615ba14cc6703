#include "model/SlideItem.h"

#include "model/ArchiveCoding.h"
#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/PictureReading.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>

#include <cmath>

#include <sys/stat.h>

namespace {

// The zoom factors of the random look are single-precision values widened to double.
constexpr double kZoomIn = double(1.2f);
constexpr double kZoomOut = double(0.8f);
constexpr double kPan = 0.1;
constexpr float kDurationTolerance = 0.0001f;

const char* const kRotateKeys[6] = {"rotate_x_start", "rotate_x_end",   "rotate_y_start",
                                    "rotate_y_end",   "rotate_z_start", "rotate_z_end"};

QString lastComponent(const QString& name) {
    if (name.isNull())
        return QString();
    return name.section('/', -1);
}

} // namespace

float sanitizedSeconds(float seconds) {
    if (std::isnan(seconds) || seconds < 0.0f)
        return 0.0f;
    // A week is far beyond any slideshow and keeps every frame count well inside 64 bits.
    return std::min(seconds, 7.0f * 24.0f * 3600.0f);
}

SlideItem::SlideItem() {
    fields.with([](Fields& f) {
        f.subtitleFont = defaultSubtitleFontInfo();
        f.text = defaultTextInfo();
    });
    setItemType(kItemTypePhoto);
    SetRandomPanzoom();
}

SlideItem::~SlideItem() {
    platform::checkDestroyedOnMainThread("a slide");
}

QVariantMap SlideItem::defaultSubtitleFontInfo() {
    return {{"FontSize", 40},
            {"FontName", "Georgia-Bold"},
            {"Text", QString("")},
            {"FontColor", QColor(Qt::white)},
            {"Usage", "Subtitle"}};
}

QVariantMap SlideItem::defaultTextInfo() {
    return {{"FontName", "Vandera"},    {"FontColor", QColor(Qt::green)}, {"FontSize", 80},
            {"FontPositionOffsetX", 0}, {"FontPositionOffsetY", 0},       {"FontAngle", 0}};
}

void SlideItem::SetRandomPanzoom() {
    auto& random = platform::RandomSource::shared();
    setNSlideEffect(int(random.next(4)));
    const int k = int(random.next(8));
    const QPointF horizontal(kPan, 0.0), vertical(0.0, kPan), none(0.0, 0.0);
    static const bool zoomingOut[8] = {true, true, false, false, false, false, true, true};
    fields.with([&](Fields& f) {
        switch (k) {
        case 0:
            f.panStart = horizontal;
            f.panEnd = none;
            break;
        case 1:
            f.panStart = vertical;
            f.panEnd = none;
            break;
        case 2:
            f.panStart = horizontal;
            f.panEnd = none;
            break;
        case 3:
            f.panStart = vertical;
            f.panEnd = none;
            break;
        case 4:
            f.panStart = none;
            f.panEnd = horizontal;
            break;
        case 5:
            f.panStart = none;
            f.panEnd = vertical;
            break;
        case 6:
            f.panStart = none;
            f.panEnd = horizontal;
            break;
        default:
            f.panStart = none;
            f.panEnd = vertical;
            break;
        }
        f.zoomFrom = zoomingOut[k] ? kZoomIn : kZoomOut;
        f.zoomTo = zoomingOut[k] ? kZoomOut : kZoomIn;
    });
}

// ---- files

QString SlideItem::pathInOpenProject(const QString& name) {
    return name.isNull() ? QString() : ContentsFolder::nameInContents(name, ContentsFolder::ofOpenProject());
}

QString SlideItem::entryInOpenProject(const QString& name) {
    const QString contents = ContentsFolder::ofOpenProject();
    return name.isEmpty() || contents.isEmpty() ? QString() : contents + "/" + name;
}

QString SlideItem::fileNameIn(const QString& contentsFolder) const {
    const QString name = fields.get(&Fields::storedFileName);
    return name.isNull() ? QString() : ContentsFolder::nameInContents(name, contentsFolder);
}

QString SlideItem::shortFileName() const {
    return fields.get(&Fields::storedFileName);
}

void SlideItem::setFileName(const QString& name) {
    fields.set(&Fields::storedFileName, lastComponent(name));
}

void SlideItem::setBackgroudImageFileName(const QString& name) {
    fields.set(&Fields::storedBackgroundFileName, lastComponent(name));
}

void SlideItem::setTextImageFileName(const QString& name) {
    fields.set(&Fields::storedTextImageFileName, lastComponent(name));
}

void SlideItem::setStrThumbFileName(const QString& name) {
    fields.set(&Fields::storedThumbFileName, lastComponent(name));
}

QSize SlideItem::pixelSize() const {
    return pictureSize.get();
}

void SlideItem::setPixelSize(const QSize& value) {
    pictureSize.set(value);
}

void SlideItem::setWidth(int value) {
    pictureSize.with([value](QSize& size) { size.setWidth(value); });
}

void SlideItem::setHeight(int value) {
    pictureSize.with([value](QSize& size) { size.setHeight(value); });
}

QString SlideItem::mediaFileName() const {
    const QString path = mediaFilePath();
    return path.isEmpty() ? shortFileName() : QFileInfo(path).fileName();
}

bool SlideItem::isPresentIn(const QString& contentsFolder) const {
    return isPresentFile(fileNameIn(contentsFolder));
}

bool SlideItem::isPresentFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool SlideItem::isMediaFileUsable() const {
    return isPictureUsable(mediaFilePath(), false);
}

bool SlideItem::isPictureUsable(const QString& path, bool whole) {
    if (!isPresentFile(path) || QFileInfo(path).size() == 0)
        return false;
    if (whole)
        return platform::image::pictureDecodes(path);
    return platform::image::readPictureHeader(path).fault == platform::image::PictureFault::None &&
           !platform::image::isCutShortJpeg(path);
}

bool SlideItem::drawsBackdropUnder(int backgroundID) const {
    return !fields.get(&Fields::storedBackgroundFileName).isEmpty() &&
           (backgroundID == 1 || itemType() == kItemTypePhoto);
}

bool SlideItem::drawsCaptionPicture() const {
    return itemType() != kItemTypeVideo && itemType() != kItemTypeQuartz &&
           !fields.get(&Fields::storedTextImageFileName).isEmpty() && !strPhotoDescription().isEmpty();
}

QString SlideItem::userFileName() const {
    const QString original = QFileInfo(strOriginalFileName()).fileName();
    return original.isEmpty() ? mediaFileName() : original;
}

QString SlideItem::userSoundFileName() const {
    return ContentsFolder::sourceNameOfCopy(QFileInfo(strSoundFileName()).fileName());
}

bool SlideItem::iSItemReady() const {
    if (const auto files = openPictureFiles.get(); files && files->picture) {
        struct stat st {};
        return ::fstat(files->picture.get(), &st) == 0 && st.st_size > 0;
    }
    const QString path = fileName();
    return isPresentFile(path) && QFileInfo(path).size() > 0;
}

void SlideItem::setOpenPictureFiles(std::shared_ptr<const OpenPictureFiles> files) {
    openPictureFiles.set(std::move(files));
}

std::optional<platform::image::Picture>
SlideItem::readPictureFile(PictureFile which, const platform::image::PictureRequest& request) const {
    // Held for the read: letting the files go meanwhile closes nothing under it.
    const std::shared_ptr<const OpenPictureFiles> files = openPictureFiles.get();
    const bool picture = which == PictureFile::Picture;
    if (const platform::UniqueFd* kept = !files    ? nullptr
                                         : picture ? &files->picture
                                                   : &files->backdrop;
        kept && kept->isValid())
        return platform::image::readOpenPicture(kept->get(), request);
    const QString path = picture ? fileName() : backgroudImageFileName();
    if (path.isEmpty())
        return std::nullopt;
    return platform::image::readPicture(path, request);
}

void SlideItem::deleteFile(const QString& path) {
    deleteFileInsideOpenProject(path);
}

bool SlideItem::deleteFileInsideOpenProject(const QString& path) {
    const auto project = SlideshowProject::currentMainProject();
    const QString folder =
        project ? QFileInfo(project->strMacProjectBundleFullPath()).canonicalFilePath() : QString();
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    // The folder is resolved, the name is not: a link inside the project is removed, never its target.
    if (!platform::liesInsideFolder(info.absolutePath(), folder))
        return false;
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    const QString resolved = parent + "/" + name;
    const QFileInfo target(resolved);
    if (!target.isSymLink() && (!target.exists() || target.isDir()))
        return false;
    return QFile::remove(resolved);
}

void SlideItem::deleteFilesForDeletingItem(const std::function<bool(const QString&)>& keep) {
    discarded = true;
    for (const QString& path : filesForDeleting())
        if (!path.isEmpty() && !(keep && keep(path)))
            deleteFile(path);
}

QStringList SlideItem::filesForDeleting() const {
    // A link that leads out of the project is removed too, never what it points at.
    const Fields f = fields.get();
    QStringList files;
    for (const QString* name :
         {&f.storedFileName, &f.storedThumbFileName, &f.storedBackgroundFileName, &f.storedTextImageFileName})
        files << entryInOpenProject(*name);
    // The sound is a full path as the recorder gave it; only one inside the open project is ours.
    return files << strSoundFileName();
}

// ---- durations

void SlideItem::setFSecPhotoDuration(float seconds) {
    seconds = sanitizedSeconds(seconds);
    if (std::fabs(seconds - photoSeconds.load()) <= kDurationTolerance)
        return;
    photoSeconds = seconds;
    durationChanged();
}

void SlideItem::setFSecTransitionDuration(float seconds) {
    seconds = sanitizedSeconds(seconds);
    if (std::fabs(seconds - transitionSeconds.load()) <= kDurationTolerance)
        return;
    transitionSeconds = seconds;
    durationChanged();
}

void SlideItem::customSetDurations(float photo, float transition) {
    photoSeconds = sanitizedSeconds(photo);
    transitionSeconds = sanitizedSeconds(transition);
}

void SlideItem::durationChanged() {
    const auto project = SlideshowProject::currentMainProject();
    if (project && project->containsSlideItem(this))
        project->calcSlideItemsPhotoTransitionDuration();
}

bool SlideItem::framesComputed() const {
    return photoFrames.load() != kFramesNotComputed && transitionFrames.load() != kFramesNotComputed;
}

// ---- guarded fields

QPointF SlideItem::panStartPoint() const {
    return fields.get(&Fields::panStart);
}
void SlideItem::setPanStartPoint(const QPointF& point) {
    fields.set(&Fields::panStart, point);
}
QPointF SlideItem::panEndPoint() const {
    return fields.get(&Fields::panEnd);
}
void SlideItem::setPanEndPoint(const QPointF& point) {
    fields.set(&Fields::panEnd, point);
}
double SlideItem::zoomStart() const {
    return fields.get(&Fields::zoomFrom);
}
void SlideItem::setZoomStart(double value) {
    fields.set(&Fields::zoomFrom, value);
}
double SlideItem::zoomEnd() const {
    return fields.get(&Fields::zoomTo);
}
void SlideItem::setZoomEnd(double value) {
    fields.set(&Fields::zoomTo, value);
}
QString SlideItem::strPhotoDescription() const {
    return fields.get(&Fields::photoDescription);
}
void SlideItem::setStrPhotoDescription(const QString& value) {
    fields.set(&Fields::photoDescription, value);
}
QVariantMap SlideItem::transitionInfo() const {
    return fields.get(&Fields::transition);
}
void SlideItem::setTransitionInfo(const QVariantMap& info) {
    fields.set(&Fields::transition, info);
}
QVariantMap SlideItem::subtitleFontInfo() const {
    return fields.get(&Fields::subtitleFont);
}
void SlideItem::setSubtitleFontInfo(const QVariantMap& info) {
    fields.set(&Fields::subtitleFont, info);
}
QVariantMap SlideItem::textInfo() const {
    return fields.get(&Fields::text);
}
void SlideItem::setTextInfo(const QVariantMap& info) {
    fields.set(&Fields::text, info);
}
QString SlideItem::strSoundFileName() const {
    return fields.get(&Fields::soundFileName);
}
void SlideItem::setStrSoundFileName(const QString& name) {
    fields.set(&Fields::soundFileName, name);
}
QString SlideItem::strOriginalFileName() const {
    return fields.get(&Fields::originalFileName);
}
void SlideItem::setStrOriginalFileName(const QString& path) {
    fields.set(&Fields::originalFileName, path);
}
QRectF SlideItem::rect(TimelineArea which) const {
    return fields.with([which](const Fields& f) { return f.rects[which]; });
}
void SlideItem::setRect(TimelineArea which, const QRectF& value) {
    fields.with([&](Fields& f) { f.rects[which] = value; });
}

// ---- copying and archiving

std::shared_ptr<SlideItem> SlideItem::copy() const {
    auto other = platform::makeMainThreadShared<SlideItem>();
    const Fields mine = fields.get();
    other->fields.with([&mine](Fields& theirs) {
        theirs.panStart = mine.panStart;
        theirs.panEnd = mine.panEnd;
        theirs.zoomFrom = mine.zoomFrom;
        theirs.zoomTo = mine.zoomTo;
        theirs.storedFileName = mine.storedFileName;
        theirs.storedThumbFileName = mine.storedThumbFileName;
        theirs.storedBackgroundFileName = mine.storedBackgroundFileName;
        theirs.text = mine.text;
        theirs.soundFileName = mine.soundFileName;
    });
    other->setFSecTransitionDuration(fSecTransitionDuration());
    other->setFSecPhotoDuration(fSecPhotoDuration());
    other->setItemType(itemType());
    return other;
}

void SlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    const Fields f = fields.get();
    auto encodeSet = [&](const QString& value, const char* key) {
        if (!value.isNull())
            coder.encodeObject(QVariant(value), key);
    };
    auto encodeNonEmpty = [&](const QString& value, const char* key) {
        if (!value.isEmpty())
            coder.encodeObject(QVariant(value), key);
    };
    encodeSet(f.storedFileName, "fileName");
    encodeSet(f.storedBackgroundFileName, "backgroudImageFileName");
    encodeSet(f.storedTextImageFileName, "textImageFileName");
    encodeSet(f.storedThumbFileName, "thumbFileName");
    encodeNonEmpty(f.photoDescription, "photoDescription");
    coder.encodeFloat(float(f.zoomFrom), "zoomStart");
    coder.encodeFloat(float(f.zoomTo), "zoomEnd");
    // Pan points were once not stored, and a pan the user customised was lost at the next open;
    // readers that do not know these keys pass them by.
    coder.encodeObject(QVariantList{f.panStart.x(), f.panStart.y()}, "panStartPoint");
    coder.encodeObject(QVariantList{f.panEnd.x(), f.panEnd.y()}, "panEndPoint");
    coder.encodeFloat(float(rotation[0].load()), "rx");
    coder.encodeFloat(float(rotation[1].load()), "ry");
    coder.encodeFloat(float(rotation[2].load()), "rz");
    coder.encodeInt32(slideEffect.load(), "nSlideEffect");
    if (!f.transition.isEmpty())
        coder.encodeObject(QVariant(f.transition), "transitionInfo");
    coder.encodeObject(QVariant(f.subtitleFont), "subtitleFontInfo");
    coder.encodeBool(panZoomCustomized.load(), "bPanZoomCustomized");
    for (int i = 0; i < 6; ++i)
        coder.encodeFloat(float(rotateAngles[i].load()), kRotateKeys[i]);
    coder.encodeObject(QVariant(f.text), "textInfo");
    coder.encodeFloat(photoSeconds.load(), "fSecPhotoDuration");
    coder.encodeFloat(transitionSeconds.load(), "fSecTransitionDuration");
    encodeNonEmpty(f.soundFileName, "strSoundFileName");
    coder.encodeInt64(type.load(), "itemType");
    encodeNonEmpty(f.originalFileName, "strOriginalFileName");
    coder.encodeBool(customDuration.load(), "bCustomDurationFlag");
}

std::shared_ptr<SlideItem> SlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->decodeFields(coder);
    // Other parts treat type 3 as a video clip slide; a plain slide must never claim it.
    if (slide->itemType() == kItemTypeVideo)
        slide->setItemType(kItemTypePhoto);
    return slide;
}

// Two finite numbers, integers or reals; anything else leaves the point of init.
QPointF SlideItem::decodePoint(platform::KeyedUnarchiver& coder, const QString& key,
                               const QPointF& fallback) {
    QVariant value;
    try {
        value = coder.decodeObjectOfClasses(key, {});
    } catch (const platform::ArchiveError&) {
        return fallback;
    }
    if (value.typeId() != QMetaType::QVariantList)
        return fallback;
    const QVariantList list = value.toList();
    if (list.size() != 2)
        return fallback;
    double xy[2];
    for (int i = 0; i < 2; ++i) {
        const int type = list[i].typeId();
        if (type != QMetaType::Double && type != QMetaType::Float && type != QMetaType::LongLong &&
            type != QMetaType::Int && type != QMetaType::ULongLong && type != QMetaType::UInt)
            return fallback;
        xy[i] = list[i].toDouble();
        if (!std::isfinite(xy[i]))
            return fallback;
    }
    return QPointF(xy[0], xy[1]);
}

double SlideItem::decodeZoom(platform::KeyedUnarchiver& coder, const QString& key) {
    // A zoom of 0 draws nothing at all: a missing or broken value shows the picture whole instead.
    const double zoom = coder.decodeFloat(key);
    return std::isfinite(zoom) && zoom > 0.0 ? zoom : 1.0;
}

void SlideItem::decodeFields(platform::KeyedUnarchiver& coder) {
    // Names are reduced to their last component: an archive from elsewhere must not point the
    // slide's files (which deleting a slide removes) outside the project's "Contents" folder.
    setFileName(archive::decodeString(coder, "fileName"));
    setBackgroudImageFileName(archive::decodeString(coder, "backgroudImageFileName"));
    setTextImageFileName(archive::decodeString(coder, "textImageFileName"));
    setStrThumbFileName(archive::decodeString(coder, "thumbFileName"));
    setStrPhotoDescription(archive::decodeString(coder, "photoDescription"));
    setZoomStart(decodeZoom(coder, "zoomStart"));
    setZoomEnd(decodeZoom(coder, "zoomEnd"));
    setPanStartPoint(decodePoint(coder, "panStartPoint", panStartPoint()));
    setPanEndPoint(decodePoint(coder, "panEndPoint", panEndPoint()));
    setRx(coder.decodeFloat("rx"));
    setRy(coder.decodeFloat("ry"));
    setRz(coder.decodeFloat("rz"));
    setNSlideEffect(coder.decodeInt32("nSlideEffect"));
    setTransitionInfo(archive::decodeMap(coder, "transitionInfo").value_or(QVariantMap()));
    if (auto subtitle = archive::decodeMap(coder, "subtitleFontInfo"))
        setSubtitleFontInfo(*subtitle);
    setBPanZoomCustomized(coder.decodeBool("bPanZoomCustomized"));
    for (int i = 0; i < 6; ++i)
        setRotateAngle(RotationAngle(i), coder.decodeFloat(kRotateKeys[i]));
    const float photo =
        coder.containsValueForKey("fSecPhotoDuration") ? coder.decodeFloat("fSecPhotoDuration") : 4.0f;
    const float transitionSecs = coder.containsValueForKey("fSecTransitionDuration")
                                     ? coder.decodeFloat("fSecTransitionDuration")
                                     : 2.0f;
    customSetDurations(photo, transitionSecs);
    setStrSoundFileName(archive::decodeString(coder, "strSoundFileName"));
    if (coder.containsValueForKey("itemType"))
        setItemType(int(coder.decodeInt64("itemType")));
    setStrOriginalFileName(archive::decodeString(coder, "strOriginalFileName"));
    if (auto info = archive::decodeMap(coder, "textInfo"))
        setTextInfo(*info);
    setBCustomDurationFlag(coder.decodeBool("bCustomDurationFlag"));
}
