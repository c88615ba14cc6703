#include "model/SlideItem.h"

#include "model/ArchiveCoding.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>

#include <cmath>

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

SlideItem::SlideItem() : subtitleFont(defaultSubtitleFontInfo()), text(defaultTextInfo()) {
    setItemType(kItemTypePhoto);
    SetRandomPanzoom();
}

SlideItem::~SlideItem() = default;

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
    std::lock_guard lock(mutex);
    switch (k) {
    case 0:
        panStart = horizontal;
        panEnd = none;
        break;
    case 1:
        panStart = vertical;
        panEnd = none;
        break;
    case 2:
        panStart = horizontal;
        panEnd = none;
        break;
    case 3:
        panStart = vertical;
        panEnd = none;
        break;
    case 4:
        panStart = none;
        panEnd = horizontal;
        break;
    case 5:
        panStart = none;
        panEnd = vertical;
        break;
    case 6:
        panStart = none;
        panEnd = horizontal;
        break;
    default:
        panStart = none;
        panEnd = vertical;
        break;
    }
    zoomFrom = zoomingOut[k] ? kZoomIn : kZoomOut;
    zoomTo = zoomingOut[k] ? kZoomOut : kZoomIn;
}

// ---- files

QString SlideItem::pathInOpenProject(const QString& name) {
    if (name.isNull())
        return QString();
    const auto project = SlideshowProject::currentMainProject();
    const QString contents = project ? project->strMacProjectBundleContentsPath() : QString();
    if (contents.isEmpty())
        return QString();
    return contents + "/" + name;
}

QString SlideItem::fileNameIn(const QString& contentsFolder) const {
    std::lock_guard lock(mutex);
    if (storedFileName.isNull() || contentsFolder.isEmpty())
        return QString();
    return contentsFolder + "/" + storedFileName;
}

QString SlideItem::shortFileName() const {
    std::lock_guard lock(mutex);
    return storedFileName;
}

void SlideItem::setFileName(const QString& name) {
    std::lock_guard lock(mutex);
    storedFileName = lastComponent(name);
}

void SlideItem::setBackgroudImageFileName(const QString& name) {
    std::lock_guard lock(mutex);
    storedBackgroundFileName = lastComponent(name);
}

void SlideItem::setTextImageFileName(const QString& name) {
    std::lock_guard lock(mutex);
    storedTextImageFileName = lastComponent(name);
}

void SlideItem::setStrThumbFileName(const QString& name) {
    std::lock_guard lock(mutex);
    storedThumbFileName = lastComponent(name);
}

QSize SlideItem::pixelSize() const {
    std::lock_guard lock(sizeMutex);
    return pictureSize;
}

void SlideItem::setPixelSize(const QSize& value) {
    std::lock_guard lock(sizeMutex);
    pictureSize = value;
}

void SlideItem::setWidth(int value) {
    std::lock_guard lock(sizeMutex);
    pictureSize.setWidth(value);
}

void SlideItem::setHeight(int value) {
    std::lock_guard lock(sizeMutex);
    pictureSize.setHeight(value);
}

bool SlideItem::isPresentFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool SlideItem::iSItemReady() const {
    const QString path = fileName();
    return isPresentFile(path) && QFileInfo(path).size() > 0;
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
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parent.isEmpty() || (parent != folder && !parent.startsWith(folder + "/")))
        return false;
    const QString resolved = parent + "/" + name;
    const QFileInfo target(resolved);
    if (!target.isSymLink() && (!target.exists() || target.isDir()))
        return false;
    return QFile::remove(resolved);
}

void SlideItem::deleteFilesForDeletingItem() {
    deleteFile(fileName());
    deleteFile(strThumbFileName());
    deleteFile(backgroudImageFileName());
    deleteFile(textImageFileName());
    // The sound is a full path as the recorder gave it; only one inside the open project is ours.
    deleteFile(strSoundFileName());
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
    std::lock_guard lock(mutex);
    return panStart;
}
void SlideItem::setPanStartPoint(const QPointF& point) {
    std::lock_guard lock(mutex);
    panStart = point;
}
QPointF SlideItem::panEndPoint() const {
    std::lock_guard lock(mutex);
    return panEnd;
}
void SlideItem::setPanEndPoint(const QPointF& point) {
    std::lock_guard lock(mutex);
    panEnd = point;
}
double SlideItem::zoomStart() const {
    std::lock_guard lock(mutex);
    return zoomFrom;
}
void SlideItem::setZoomStart(double value) {
    std::lock_guard lock(mutex);
    zoomFrom = value;
}
double SlideItem::zoomEnd() const {
    std::lock_guard lock(mutex);
    return zoomTo;
}
void SlideItem::setZoomEnd(double value) {
    std::lock_guard lock(mutex);
    zoomTo = value;
}
QString SlideItem::strPhotoDescription() const {
    std::lock_guard lock(mutex);
    return photoDescription;
}
void SlideItem::setStrPhotoDescription(const QString& value) {
    std::lock_guard lock(mutex);
    photoDescription = value;
}
QVariantMap SlideItem::transitionInfo() const {
    std::lock_guard lock(mutex);
    return transition;
}
void SlideItem::setTransitionInfo(const QVariantMap& info) {
    std::lock_guard lock(mutex);
    transition = info;
}
QVariantMap SlideItem::subtitleFontInfo() const {
    std::lock_guard lock(mutex);
    return subtitleFont;
}
void SlideItem::setSubtitleFontInfo(const QVariantMap& info) {
    std::lock_guard lock(mutex);
    subtitleFont = info;
}
QVariantMap SlideItem::textInfo() const {
    std::lock_guard lock(mutex);
    return text;
}
void SlideItem::setTextInfo(const QVariantMap& info) {
    std::lock_guard lock(mutex);
    text = info;
}
QString SlideItem::strSoundFileName() const {
    std::lock_guard lock(mutex);
    return soundFileName;
}
void SlideItem::setStrSoundFileName(const QString& name) {
    std::lock_guard lock(mutex);
    soundFileName = name;
}
QString SlideItem::strOriginalFileName() const {
    std::lock_guard lock(mutex);
    return originalFileName;
}
void SlideItem::setStrOriginalFileName(const QString& path) {
    std::lock_guard lock(mutex);
    originalFileName = path;
}
QRectF SlideItem::rect(TimelineArea which) const {
    std::lock_guard lock(mutex);
    return rects[which];
}
void SlideItem::setRect(TimelineArea which, const QRectF& value) {
    std::lock_guard lock(mutex);
    rects[which] = value;
}

// ---- copying and archiving

std::shared_ptr<SlideItem> SlideItem::copy() const {
    auto other = std::make_shared<SlideItem>();
    {
        std::lock_guard lock(mutex);
        std::scoped_lock otherLock(other->mutex);
        other->panStart = panStart;
        other->panEnd = panEnd;
        other->zoomFrom = zoomFrom;
        other->zoomTo = zoomTo;
        other->storedFileName = storedFileName;
        other->storedThumbFileName = storedThumbFileName;
        other->storedBackgroundFileName = storedBackgroundFileName;
        other->text = text;
        other->soundFileName = soundFileName;
    }
    other->setFSecTransitionDuration(fSecTransitionDuration());
    other->setFSecPhotoDuration(fSecPhotoDuration());
    other->setItemType(itemType());
    return other;
}

void SlideItem::encodeWithCoder(platform::KeyedArchiver& coder) const {
    std::lock_guard lock(mutex);
    auto encodeSet = [&](const QString& value, const char* key) {
        if (!value.isNull())
            coder.encodeObject(QVariant(value), key);
    };
    auto encodeNonEmpty = [&](const QString& value, const char* key) {
        if (!value.isEmpty())
            coder.encodeObject(QVariant(value), key);
    };
    encodeSet(storedFileName, "fileName");
    encodeSet(storedBackgroundFileName, "backgroudImageFileName");
    encodeSet(storedTextImageFileName, "textImageFileName");
    encodeSet(storedThumbFileName, "thumbFileName");
    encodeNonEmpty(photoDescription, "photoDescription");
    coder.encodeFloat(float(zoomFrom), "zoomStart");
    coder.encodeFloat(float(zoomTo), "zoomEnd");
    // Pan points were once not stored, and a pan the user customised was lost at the next open;
    // readers that do not know these keys pass them by.
    coder.encodeObject(QVariantList{panStart.x(), panStart.y()}, "panStartPoint");
    coder.encodeObject(QVariantList{panEnd.x(), panEnd.y()}, "panEndPoint");
    coder.encodeFloat(float(rotation[0].load()), "rx");
    coder.encodeFloat(float(rotation[1].load()), "ry");
    coder.encodeFloat(float(rotation[2].load()), "rz");
    coder.encodeInt32(slideEffect.load(), "nSlideEffect");
    if (!transition.isEmpty())
        coder.encodeObject(QVariant(transition), "transitionInfo");
    coder.encodeObject(QVariant(subtitleFont), "subtitleFontInfo");
    coder.encodeBool(panZoomCustomized.load(), "bPanZoomCustomized");
    for (int i = 0; i < 6; ++i)
        coder.encodeFloat(float(rotateAngles[i].load()), kRotateKeys[i]);
    coder.encodeObject(QVariant(text), "textInfo");
    coder.encodeFloat(photoSeconds.load(), "fSecPhotoDuration");
    coder.encodeFloat(transitionSeconds.load(), "fSecTransitionDuration");
    encodeNonEmpty(soundFileName, "strSoundFileName");
    coder.encodeInt64(type.load(), "itemType");
    encodeNonEmpty(originalFileName, "strOriginalFileName");
    coder.encodeBool(customDuration.load(), "bCustomDurationFlag");
}

std::shared_ptr<SlideItem> SlideItem::initWithCoder(platform::KeyedUnarchiver& coder) {
    auto slide = std::make_shared<SlideItem>();
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
