// Photo import: the open panels and drops, one serial queue of import requests that make each photo a
// slide at once, the resize worker's results, the content view's width and the window title.
#include "ui/main/SlideshowMainObject.h"

#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/SerialQueue.h"
#include "ui/UiNotifications.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/MediaFileTypes.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/TimelineGeometry.h"

#include <QFileInfo>
#include <QScrollBar>

namespace {

constexpr double kFailureReportDelay = 1.2; // six idle passes of 0.2 s
const QString kOpenPanelTitle = QStringLiteral("Add Photos");

// Claims a unique name in the project's "Contents" for a new cache picture: "<stem><seconds>.jpg".
QString claimCacheName(const QString& contents, const QString& stem) {
    return ContentsFolder::reserveName(contents,
                                       ContentsFolder::timeStampedName(stem, QStringLiteral("jpg")));
}

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
    enqueueImport({paths, false, slideInsertIndex});
}

void SlideshowMainObject::threadImageAppendImages(const QStringList& paths) {
    enqueueImport({paths, true, slideInsertIndex});
}

// ---- the import queue

// Requests run one after another on one thread, each with the slot it was given, so that photos of two
// requests never interleave. The slide array changes only on the main thread: the thread posts each step
// there and never waits, and the posts run in the order they were made. A request counts as pending until
// its last post has run.
void SlideshowMainObject::enqueueImport(ImportRequest request) {
    ++pendingImports;
    importQueue->post([this, request = std::move(request)] {
        if (!stopping)
            runImportRequest(request);
        gate.post([this] { --pendingImports; });
    });
}

void SlideshowMainObject::runImportRequest(const ImportRequest& request) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const auto place = std::make_shared<ImportPlace>();
    gate.post([this, project, place, request] {
        place->slot = std::min<quint64>(request.insertIndex, project->slideCount());
        place->first = place->slot;
        if (!request.append && ui.scrollView1)
            place->scrollX = ui.scrollView1->horizontalScrollBar()->value();
        setNCurrentSlideshowItemIndex(-1);
    });
    for (const QString& path : request.paths) {
        if (stopping)
            return;
        addImageToProject_thread(path, request.append, place);
    }
    gate.post([this, place, append = request.append] {
        layoutScrollImages();
        layoutMusicSubViews();
        setNCurrentSlideshowItemIndex(-1);
        setNCurrentSlideshowItemIndex(int(place->first));
        if (append)
            ensureCurrentSlideThumbnailVisible();
        else if (ui.scrollView1)
            ui.scrollView1->horizontalScrollBar()->setValue(place->scrollX);
        const std::vector<SlideItemRef> slides = slideshowArray();
        if (currentSlideIndex >= 0 && std::size_t(currentSlideIndex) < slides.size())
            showCurrentItemPhoto(slides[std::size_t(currentSlideIndex)]);
    });
}

// One photo: the slide enters the project (on the main thread), its thumbnail is written here, and its
// slide image is left to the resize worker. Called on the main thread, every step runs at once.
void SlideshowMainObject::addImageToProject_thread(const QString& path, bool append,
                                                   const std::shared_ptr<ImportPlace>& place) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const QString contents = project->strMacProjectBundleContentsPath();
    auto slide = std::make_shared<SlideItem>();
    slide->setStrOriginalFileName(path);
    slide->customSetDurations(project->fltPhotoDuration(), project->fltTransitionDuration());
    if (const auto themes = project->themeManger())
        themes->setSlideItemFromCurrentTheme(*slide);
    slide->setFileName(claimCacheName(contents, QStringLiteral("psd_")));
    slide->setBackgroudImageFileName(claimCacheName(contents, QStringLiteral("psd_bk_")));
    slide->setStrThumbFileName(claimCacheName(contents, QStringLiteral("thumb_")));

    struct Photo {
        PhotoWorkItem item;
        bool inserted = false;
    };
    const auto photo = std::make_shared<Photo>(Photo{{path, slide, 0}});
    gate.post([this, project, photo, place, append] {
        const std::size_t count = project->slideCount();
        photo->item.index = count;
        photo->inserted = !append && place->slot < count && count > 0;
        if (photo->inserted)
            project->insertSlideItem(std::size_t(place->slot), photo->item.slide);
        else
            project->addSlideItem(photo->item.slide);
        ++place->slot;
        project->setBIsDirty(true);
        project->calcSlideItemsPhotoTransitionDuration();
        layoutScrollImages();
        layoutMusicSubViews();
        updateProjectInfo();
    });
    if (!gate.isOpen())
        return;
    PhotoResizeWorker::writeThumbnail(path, slide->strThumbFileName());
    gate.post([this, project, photo, append] {
        if (photo->inserted)
            worker->enqueueFront(std::move(photo->item));
        else
            worker->enqueueBack(std::move(photo->item));
        if (append && project->slideCount() == 1)
            layoutMusicSubViews();
    });
}

// ---- the worker's failures

void SlideshowMainObject::removeFailedSlide(const PhotoWorkItem& item) {
    const auto project = SlideshowProject::currentMainProject();
    const int remembered = currentSlideIndex;
    setNCurrentSlideshowItemIndex(-1);
    if (!project)
        return;
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    const auto found = std::find(slides.begin(), slides.end(), item.slide);
    if (found == slides.end())
        return;
    project->removeSlideItemAtIndex(std::size_t(found - slides.begin()));
    item.slide->deleteFilesForDeletingItem(); // the names it had claimed
    if (remembered >= 0 && std::size_t(remembered) < project->slideCount())
        setNCurrentSlideshowItemIndex(remembered);
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();
    layoutScrollImages();
    updateProjectInfo();
}

void SlideshowMainObject::scheduleFailureReport() {
    if (!failureReport.isActive())
        failureReport = clock->scheduleOnce(kFailureReportDelay, [this] { reportFailures(); });
}

// While the worker is busy the report waits: the worker asks again when it next runs dry.
void SlideshowMainObject::reportFailures() {
    if (!worker->isIdle())
        return;
    QVariantList list;
    for (const PhotoWorkItem& item : worker->takeFailures())
        list.append(item.reportEntry());
    if (list.isEmpty())
        return;
    platform::NotificationCenter::defaultCenter().post(kNotifyAddPhotoFailed, list);
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
    gate.post([window = ui.mainWindow, slider = ui.positionSlider, text = title, frames] {
        if (window)
            window->setWindowTitle(text);
        if (slider)
            slider->setRange(0, frames);
    });
}
