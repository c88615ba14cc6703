#include "ui/main/PhotoImporter.h"

#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/SerialQueue.h"
#include "ui/UiNotifications.h"
#include "ui/editing/TimelineScrollView.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/SlideshowMainObject.h"

#include <QScrollBar>

#include <algorithm>

namespace {

constexpr double kFailureReportDelay = 1.2; // six idle passes of 0.2 s

// Claims a unique name in the project's "Contents" for a new cache picture: "<stem><seconds>.jpg".
QString claimCacheName(const QString& contents, const QString& stem) {
    return ContentsFolder::reserveName(contents,
                                       ContentsFolder::timeStampedName(stem, QStringLiteral("jpg")));
}

} // namespace

PhotoImporter::PhotoImporter(SlideshowMainObject& hub, platform::Scheduler& scheduler,
                             const MainWindowOutlets& outlets, ProjectSource project)
    : hub(hub), clock(scheduler), ui(outlets), currentProject(std::move(project)) {
    PhotoResizeWorker::Callbacks callbacks;
    callbacks.slideFailed = [this](const PhotoWorkItem& item) {
        gate.post([this, item] { removeFailedSlide(item); });
    };
    callbacks.idleWithFailures = [this] { gate.post([this] { scheduleFailureReport(); }); };
    callbacks.maxImageWidth = [] {
        return SlideshowProjectManager::defaultSlideshowProjectManager()->nMaxImageWidth();
    };
    worker = std::make_unique<PhotoResizeWorker>(std::move(callbacks));
    importQueue = std::make_unique<platform::media::SerialQueue>(QStringLiteral("photo import"));
    worker->start();
}

PhotoImporter::~PhotoImporter() {
    close();
    // The queue's thread may be waiting for the main thread, which the closed gate has let go.
    importQueue.reset();
    worker.reset();
}

void PhotoImporter::close() {
    stopping = true;
    gate.close();
}

void PhotoImporter::addImages(const QStringList& paths, quint64 insertIndex) {
    enqueueImport({paths, false, insertIndex});
}

void PhotoImporter::appendImages(const QStringList& paths, quint64 insertIndex) {
    enqueueImport({paths, true, insertIndex});
}

void PhotoImporter::addImage(const QString& path, quint64 slot) {
    addImageToProject_thread(path, false, std::make_shared<ImportPlace>(ImportPlace{slot}));
}

SlideItemRef PhotoImporter::newPhotoSlide(SlideshowProject& project, const QString& path,
                                          const QString& imageStem, const QString& backgroundStem) {
    const QString contents = project.strMacProjectBundleContentsPath();
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setStrOriginalFileName(path);
    slide->customSetDurations(project.fltPhotoDuration(), project.fltTransitionDuration());
    if (const auto themes = project.themeManger())
        themes->setSlideItemFromCurrentTheme(*slide);
    slide->setFileName(claimCacheName(contents, imageStem));
    slide->setBackgroudImageFileName(claimCacheName(contents, backgroundStem));
    slide->setStrThumbFileName(claimCacheName(contents, QStringLiteral("thumb_")));
    slide->setPictureBeingMade(true); // until the resize worker has written it, or failed to
    return slide;
}

// ---- the import queue

// Requests run one after another on one thread, each with the slot it was given, so that photos of two
// requests never interleave. The slide array changes only on the main thread: the thread posts each step
// there and never waits, and the posts run in the order they were made. A request counts as pending until
// its last post has run.
void PhotoImporter::enqueueImport(ImportRequest request) {
    ++pendingImports;
    importQueue->post([this, request = std::move(request)] {
        if (!stopping)
            runImportRequest(request);
        gate.post([this] { --pendingImports; });
    });
}

void PhotoImporter::runImportRequest(const ImportRequest& request) {
    const auto project = currentProject();
    if (!project)
        return;
    const auto place = std::make_shared<ImportPlace>();
    gate.post([this, project, place, request] {
        place->slot = std::min<quint64>(request.insertIndex, project->slideCount());
        place->first = place->slot;
        if (!request.append && ui.scrollView1)
            place->scrollX = ui.scrollView1->horizontalScrollBar()->value();
        hub.setNCurrentSlideshowItemIndex(-1);
    });
    for (const QString& path : request.paths) {
        if (stopping)
            return;
        addImageToProject_thread(path, request.append, place);
    }
    gate.post([this, place, append = request.append] {
        hub.layoutScrollImages();
        hub.layoutMusicSubViews();
        hub.setNCurrentSlideshowItemIndex(-1);
        hub.setNCurrentSlideshowItemIndex(int(place->first));
        if (append)
            hub.ensureCurrentSlideThumbnailVisible();
        else if (ui.scrollView1)
            ui.scrollView1->horizontalScrollBar()->setValue(place->scrollX);
        const auto project = currentProject();
        const std::vector<SlideItemRef> slides =
            project ? project->slideshowArray() : std::vector<SlideItemRef>();
        const int current = hub.nCurrentSlideshowItemIndex();
        if (current >= 0 && std::size_t(current) < slides.size())
            hub.showCurrentItemPhoto(slides[std::size_t(current)]);
    });
}

// One photo: the slide enters the project (on the main thread), its thumbnail is written here, and its
// slide image is left to the resize worker. Called on the main thread, every step runs at once.
void PhotoImporter::addImageToProject_thread(const QString& path, bool append,
                                             const std::shared_ptr<ImportPlace>& place) {
    const auto project = currentProject();
    if (!project)
        return;
    const SlideItemRef slide = newPhotoSlide(*project, path);

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
        hub.layoutScrollImages();
        hub.layoutMusicSubViews();
        hub.updateProjectInfo();
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
            hub.layoutMusicSubViews();
    });
}

// ---- the worker's failures

void PhotoImporter::removeFailedSlide(const PhotoWorkItem& item) {
    const auto project = currentProject();
    const int remembered = hub.nCurrentSlideshowItemIndex();
    hub.setNCurrentSlideshowItemIndex(-1);
    if (!project)
        return;
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    const auto found = std::find(slides.begin(), slides.end(), item.slide);
    if (found == slides.end())
        return;
    const auto removed = int(found - slides.begin());
    project->removeSlideItemAtIndex(std::size_t(removed));
    item.slide->deleteFilesForDeletingItem(); // the names it had claimed
    const int count = int(project->slideCount());
    // The failed slide was the one marked and shown: the slide now at its place, or the last, takes over, as
    // after a Delete.
    const bool wasShown = remembered == removed;
    if (remembered >= 0 && remembered < count)
        hub.setNCurrentSlideshowItemIndex(remembered);
    else if (wasShown && count > 0)
        hub.setNCurrentSlideshowItemIndex(count - 1);
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();
    hub.layoutScrollImages();
    hub.updateProjectInfo();
    if (const int current = hub.nCurrentSlideshowItemIndex(); wasShown && current >= 0)
        hub.showCurrentItemPhoto(project->slideItemAtIndex(std::size_t(current)));
}

void PhotoImporter::scheduleFailureReport() {
    if (!failureReport.isActive())
        failureReport = clock.scheduleOnce(kFailureReportDelay, [this] { reportFailures(); });
}

// While the worker is busy the report waits: the worker asks again when it next runs dry.
void PhotoImporter::reportFailures() {
    if (!worker->isIdle())
        return;
    QVariantList list;
    for (const PhotoWorkItem& item : worker->takeFailures())
        list.append(item.reportEntry());
    if (list.isEmpty())
        return;
    platform::NotificationCenter::defaultCenter().post(kNotifyAddPhotoFailed, list);
}
