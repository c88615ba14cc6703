#include "dvd/DVDMenuSlidePictures.h"

#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/ImageAdditions.h"
#include "platform/image/SlidePictures.h"

namespace pictures = platform::image::slide_pictures;

namespace {

const QString kStep = QStringLiteral("menu slides");

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
                       DVDStepError* error, const QString& readFrom) {
    PictureFileReader file(readFrom.isEmpty() ? picture : readFrom);
    const QImage frame = pictures::flattenedOnBlack(file.reader().read());
    if (frame.isNull()) {
        failStep(error, kStep, QStringLiteral("The menu picture \"%1\" could not be read.").arg(picture));
        return nullptr;
    }
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const int maxWidth = manager ? manager->nMaxImageWidth() : 1280;
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setStrOriginalFileName(picture);
    slide->setFileName(pictureName(frameNumber));
    slide->setBackgroudImageFileName(backgroundName(frameNumber));
    slide->setStrThumbFileName(thumbnailName(frameNumber));
    // The pictures as the photo import makes a photo's, so that a menu slide looks like one in every theme;
    // the backdrop first: a slide counts as ready once its picture is there.
    const QImage fitted = pictures::picture(frame, maxWidth);
    if (!write(pictures::backdrop(frame), slide->backgroudImageFileName(), pictures::kBackdropQuality,
               error) ||
        !write(fitted, slide->fileName(), pictures::kPictureQuality, error) ||
        !write(pictures::thumbnail(frame), slide->strThumbFileName(), pictures::kThumbnailQuality, error))
        return nullptr;
    slide->setWidth(fitted.width());
    slide->setHeight(fitted.height());
    slide->customSetDurations(project.fltPhotoDuration(), project.fltTransitionDuration());
    if (const auto themes = project.themeManger())
        themes->setSlideItemForDVDMenu(*slide);
    return slide;
}

} // namespace DVDMenuSlidePictures
