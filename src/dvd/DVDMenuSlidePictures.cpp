#include "dvd/DVDMenuSlidePictures.h"

#include "dvd/DVDFiles.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/image/PictureReading.h"
#include "platform/image/SlidePictures.h"

#include <QBuffer>

namespace pictures = platform::image::slide_pictures;

namespace {

const QString kStep = QStringLiteral("menu slides");

// The picture as a new JPEG file of ours at path, never written into a file already there, and kept open:
// the menu is drawn from this file, whatever another program puts at its name before it is drawn.
platform::UniqueFd write(const QImage& picture, const QString& path, int quality, DVDStepError* error) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QString message;
    platform::UniqueFd file;
    if (!picture.isNull() && picture.save(&buffer, "JPEG", quality))
        file = writeNewOwnFile(path, jpeg, &message);
    if (!file)
        failStep(error, kStep,
                 QStringLiteral("\"%1\" could not be written.").arg(path) +
                     (message.isEmpty() ? QString() : QLatin1Char('\n') + message));
    return file;
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

namespace {

// The slide named after its frame, whose pictures are still to be written.
SlideItemRef namedSlide(const QString& picture, int frameNumber) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setStrOriginalFileName(picture);
    slide->setFileName(pictureName(frameNumber));
    slide->setBackgroudImageFileName(backgroundName(frameNumber));
    slide->setStrThumbFileName(thumbnailName(frameNumber));
    return slide;
}

int maxPictureWidth() {
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    return manager ? manager->nMaxImageWidth() : 1280;
}

void finishSlide(SlideItem& slide, QSize fitted, const SlideshowProject& project) {
    slide.setWidth(fitted.width());
    slide.setHeight(fitted.height());
    slide.customSetDurations(project.fltPhotoDuration(), project.fltTransitionDuration());
    if (const auto themes = project.themeManger())
        themes->setSlideItemForDVDMenu(slide);
}

// Where a menu slide's pictures go: its fitted picture, its backdrop and its thumbnail.
struct PicturePaths {
    QString picture, backdrop, thumbnail;
};

PicturePaths picturePathsOf(const SlideItem& slide) {
    return {slide.fileName(), slide.backgroudImageFileName(), slide.strThumbFileName()};
}

// The menu frame read from the file open at frameFile, else from picture, no larger than the largest picture
// made of it.
QImage readFrame(const QString& picture, std::optional<int> frameFile, int maxWidth) {
    const auto request = platform::image::PictureRequest::within(maxWidth);
    return (frameFile ? platform::image::readOpenPicture(*frameFile, request)
                      : platform::image::readPicture(picture, request))
        .image;
}

// Writes the three pictures of the menu frame read from frameFile, else from picture; the picture and the
// backdrop, which the menu draws, are kept open in *drawn. The fitted picture's size, or an empty size with
// the step that failed.
QSize writePictures(const QString& picture, std::optional<int> frameFile, const PicturePaths& paths,
                    int maxWidth, SlideItem::OpenPictureFiles* drawn, DVDStepError* error) {
    const QImage frame = pictures::flattenedOnBlack(readFrame(picture, frameFile, maxWidth));
    if (frame.isNull()) {
        failStep(error, kStep, QStringLiteral("The menu picture \"%1\" could not be read.").arg(picture));
        return {};
    }
    // The pictures as the photo import makes a photo's, so that a menu slide looks like one in every theme;
    // the backdrop first: a slide counts as ready once its picture is there.
    const QImage fitted = pictures::picture(frame, maxWidth);
    drawn->backdrop = write(pictures::backdrop(frame), paths.backdrop, pictures::kBackdropQuality, error);
    if (drawn->backdrop)
        drawn->picture = write(fitted, paths.picture, pictures::kPictureQuality, error);
    if (!drawn->picture ||
        !write(pictures::thumbnail(frame), paths.thumbnail, pictures::kThumbnailQuality, error))
        return {};
    return fitted.size();
}

} // namespace

SlideItemRef makeSlide(const QString& picture, int frameNumber, const SlideshowProject& project,
                       DVDStepError* error, std::optional<int> frameFile) {
    SlideItemRef slide = namedSlide(picture, frameNumber);
    auto drawn = std::make_shared<SlideItem::OpenPictureFiles>();
    const QSize fitted =
        writePictures(picture, frameFile, picturePathsOf(*slide), maxPictureWidth(), drawn.get(), error);
    if (fitted.isEmpty())
        return nullptr;
    slide->setOpenPictureFiles(std::move(drawn));
    finishSlide(*slide, fitted, project);
    return slide;
}

} // namespace DVDMenuSlidePictures
