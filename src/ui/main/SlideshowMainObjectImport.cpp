// Photo import: the open panels and drops, handed to the photo importer; the content view's width and the
// window title.
#include "ui/main/SlideshowMainObject.h"

#include "model/SlideshowProject.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/MediaFileTypes.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/SinglePhotoImport.h"
#include "ui/main/TimelineGeometry.h"

#include <QFileInfo>

namespace {

const QString kOpenPanelTitle = QStringLiteral("Add Photos");

} // namespace

bool SlideshowMainObject::isPhotoFile(const QString& extension) {
    return media_file_types::isPhotoFile(extension);
}

bool SlideshowMainObject::isVideoFile(const QString& extension) {
    return media_file_types::isVideoFile(extension);
}

bool SlideshowMainObject::isMusicFile(const QString& extension) {
    return media_file_types::isMusicFile(extension);
}

// ---- the commands

void SlideshowMainObject::buttonAddPhotoClicked() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Photos, kOpenPanelTitle);
    if (paths.isEmpty())
        return;
    // Sign-extended: no current slide (-1) becomes the largest slot, so the photos are appended.
    slideInsertIndex = quint64(qint64(currentSlideIndex));
    threadImageAddImages(paths);
}

void SlideshowMainObject::buttonAppendPhotoClicked() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Photos, kOpenPanelTitle);
    if (paths.isEmpty())
        return;
    slideInsertIndex = slideshowArray().size();
    threadImageAppendImages(paths);
}

void SlideshowMainObject::AcceptFileDropped(const QStringList& paths, int index) {
    stop();
    slideInsertIndex = quint64(qint64(index));
    QStringList photos, songs, videos;
    for (const QString& path : paths) {
        const QString extension = QFileInfo(path).suffix().toLower();
        if (isPhotoFile(extension))
            photos << path;
        else if (isMusicFile(extension))
            songs << path;
        else if (isVideoFile(extension))
            videos << path;
    }
    if (!photos.isEmpty()) {
        if (slideInsertIndex < slideshowArray().size())
            threadImageAddImages(photos);
        else
            threadImageAppendImages(photos);
    }
    if (!songs.isEmpty())
        addMusicToProject(songs);
    if (!videos.isEmpty())
        addVideoToProject(videos, index);
}

void SlideshowMainObject::threadImageAddImages(const QStringList& paths) {
    importer->addImages(paths, slideInsertIndex);
}

void SlideshowMainObject::threadImageAppendImages(const QStringList& paths) {
    importer->appendImages(paths, slideInsertIndex);
}

bool SlideshowMainObject::isImportIdle() const {
    return importer->isIdle();
}

PhotoResizeWorker& SlideshowMainObject::resizeWorker() const {
    return importer->resizeWorker();
}

PhotoImporter& SlideshowMainObject::photoImporter() const {
    return *importer;
}

// ---- the single-photo import

void SlideshowMainObject::addImageToProject(const QString& path) {
    single_photo_import::addImageToProject(*this, path);
}

void SlideshowMainObject::SetNewThumbnail(const single_photo_import::NewThumbnail& handOver) {
    single_photo_import::SetNewThumbnail(*this, handOver);
}

QImage SlideshowMainObject::resizePhotoForSlide(const QImage& image) {
    return single_photo_import::resizePhotoForSlide(image);
}

QImage SlideshowMainObject::resizePhotoForThmbnail(const QImage& image) {
    return single_photo_import::resizePhotoForThmbnail(image);
}

QImage SlideshowMainObject::imageResize(const QImage& image, const QSize& size) {
    return single_photo_import::imageResize(image, size);
}

// ---- the content view and the window title

void SlideshowMainObject::layoutScrollImages() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || !ui.scrollContentView)
        return;
    const unsigned long rate = SlideshowProject::ulFrameRate();
    const float musicEnd =
        getTimelineXPositionFromFrame_Music(quint64(project->musicTotalDuration() * double(rate)));
    const int width = timeline_geometry::contentWidth(project->nTimelineStyle(), project->slideCount(),
                                                      timelineCellWidth, musicEnd, project->totalFrameCount(),
                                                      rate, project->nTimelinePixelPerSecond());
    ui.scrollContentView->setContentWidth(width);
}

void SlideshowMainObject::updateProjectInfo() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    title = QStringLiteral("%1 - %2 [%3 photos]")
                .arg(QString::fromLatin1(kProductName), project->strProjectTitle())
                .arg(qulonglong(project->slideCount()));
    const int frames =
        int(std::min<quint64>(project->totalFrameCount(), quint64(std::numeric_limits<int>::max())));
    gate.post([this, window = ui.mainWindow, slider = ui.positionSlider, text = title, frames] {
        if (window)
            window->setWindowTitle(text);
        if (slider)
            slider->setRange(0, frames);
        playback->currentSlideOrLengthChanged(); // the slides may start elsewhere now
    });
}
