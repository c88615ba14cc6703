#include "dvd/DVDMenuSlidePictures.h"

#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/image/ImageAdditions.h"
#include "platform/image/ImageFilters.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {

const QString kStep = QStringLiteral("menu slides");
// As the photo import makes a photo's pictures, so that a menu slide looks like a photo's in every theme.
constexpr int kBackgroundSide = 640;
constexpr float kBackgroundBlur = 4.0f;
constexpr int kPictureQuality = 98;
constexpr int kBackgroundQuality = 90;
constexpr int kThumbnailReadSide = 256;
const QSize kThumbnailSize(80, 70);

// Reduced (never enlarged) so that the longer side is at most `side`.
QImage atMost(const QImage& picture, int side) {
    if (std::max(picture.width(), picture.height()) <= side)
        return picture;
    return picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool write(const QImage& picture, const QString& path, int quality, DVDStepError* error) {
    if (saveToJpegFile(picture, path, quality))
        return true;
    return failStep(error, kStep, QStringLiteral("\"%1\" could not be written.").arg(path));
}

} // namespace

namespace DVDMenuSlidePictures {

QString pictureName(int frameNumber) {
    return QStringLiteral("menu_psd_%1.jpg").arg(frameNumber);
}

QString backgroundName(int frameNumber) {
    return QStringLiteral("menu_psd_bk_%1.jpg").arg(frameNumber);
}

QString thumbnailName(int frameNumber) {
    return QStringLiteral("menu_thumb_%1.jpg").arg(frameNumber);
}

SlideItemRef makeSlide(const QString& picture, int frameNumber, const SlideshowProject& project,
                       DVDStepError* error) {
    const QImage frame = QImageReader(picture).read();
    if (frame.isNull()) {
        failStep(error, kStep, QStringLiteral("The menu picture \"%1\" could not be read.").arg(picture));
        return nullptr;
    }
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const int maxWidth = manager ? manager->nMaxImageWidth() : 1280;
    auto slide = std::make_shared<SlideItem>();
    slide->setStrOriginalFileName(picture);
    slide->setFileName(pictureName(frameNumber));
    slide->setBackgroudImageFileName(backgroundName(frameNumber));
    slide->setStrThumbFileName(thumbnailName(frameNumber));
    const QImage fitted = atMost(frame, maxWidth);
    // The backdrop first: a slide counts as ready once its picture is there.
    if (!write(platform::image::gaussianBlur(atMost(frame, kBackgroundSide), kBackgroundBlur),
               slide->backgroudImageFileName(), kBackgroundQuality, error) ||
        !write(fitted, slide->fileName(), kPictureQuality, error) ||
        !write(imageCroppedToFitSize(atMost(frame, kThumbnailReadSide), kThumbnailSize),
               slide->strThumbFileName(), 100, error))
        return nullptr;
    slide->setWidth(fitted.width());
    slide->setHeight(fitted.height());
    slide->customSetDurations(project.fltPhotoDuration(), project.fltTransitionDuration());
    if (const auto themes = project.themeManger())
        themes->setSlideItemForDVDMenu(*slide);
    return slide;
}

} // namespace DVDMenuSlidePictures
