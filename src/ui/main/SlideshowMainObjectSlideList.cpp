// Slide-list commands: blank and wood pictures, the arrange-order window's removals and moves, deleting the
// current slide, the cursor's jumps, slide sounds, and the timeline's rebuild for an opened project.
#include "ui/main/SlideshowMainObject.h"

#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "render/DrawUtils.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/ArrangeOrderWndController.h"
#include "ui/editing/MoveItemsAtIndexes.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/SoundRecorderWndController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/ImageBrowserObject.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/TimelineThumbnailRefresh.h"

#include <QDialog>
#include <QImageWriter>
#include <QPainter>
#include <QScrollBar>

using platform::Notification;

namespace {

constexpr QSize kWoodPictureSize{1920, 1080};
constexpr int kWoodPictureQuality = 90;

} // namespace

// The windows die before the controller, the refresh thread first of all.
// The windows are the main window's children when there is one, which may delete them first.
struct SlideshowMainObject::SlideListState {
    ~SlideListState() {
        thumbnailRefresh.reset();
        for (const QPointer<SoundRecorderWndController>& recorder : recorders)
            delete recorder.data();
        delete arrangeWindow.data();
        delete blankWindow.data();
    }
    std::unique_ptr<TimelineThumbnailRefresh> thumbnailRefresh;
    QPointer<blankImageWndController> blankWindow;
    QPointer<ArrangeOrderWndController> arrangeWindow;
    // The recorder windows open now; each goes once closed, its sound reported.
    std::vector<QPointer<SoundRecorderWndController>> recorders;
};

SlideshowMainObject::SlideListState& SlideshowMainObject::slideList() {
    if (!slideListState)
        slideListState = std::make_shared<SlideListState>();
    return *slideListState;
}

blankImageWndController* SlideshowMainObject::blankWnd() const {
    return slideListState ? slideListState->blankWindow.data() : nullptr;
}

ArrangeOrderWndController* SlideshowMainObject::arrangeOrderWC() const {
    return slideListState ? slideListState->arrangeWindow.data() : nullptr;
}

bool SlideshowMainObject::isTimelineRefreshRunning() const {
    return slideListState && slideListState->thumbnailRefresh &&
           !slideListState->thumbnailRefresh->isFinished();
}

// ---- blank pictures

void SlideshowMainObject::AddBlankImageFromBundle() {
    stop();
    auto& state = slideList();
    if (!state.blankWindow)
        state.blankWindow = new blankImageWndController(false, ui.mainWindow); // kept for the whole run
    state.blankWindow->show();
    state.blankWindow->raise();
    state.blankWindow->activateWindow();
}

std::unique_ptr<QDialog> SlideshowMainObject::makeBlankImageWindow(bool themeBackground) {
    return std::make_unique<blankImageWndController>(themeBackground, ui.mainWindow);
}

// The picture goes where the current slide is and becomes current; without a current slide it is appended
// and none is current afterwards.
void SlideshowMainObject::NotifyInsertBlankImage(const Notification& notification) {
    const QString path = notification.object.toString();
    if (path.isEmpty())
        return;
    slideInsertIndex = quint64(qint64(currentSlideIndex));
    setNCurrentSlideshowItemIndex(-1);
    photoImporter().addImage(path, slideInsertIndex);
    setNCurrentSlideshowItemIndex(int(qint32(slideInsertIndex)));
    showCurrentSlideAfterInsert();
}

// The preview shows what the strip marks: an insert at the current place puts another slide there.
void SlideshowMainObject::showCurrentSlideAfterInsert() {
    if (const SlideItemRef slide = currentSlideItem()) {
        setNCurrentSlideshowItemIndex(currentSlideIndex); // the pan-and-zoom copy of the slide now there
        showCurrentItemPhoto(slide);
    }
}

void SlideshowMainObject::AddBlankImageButtonClicked() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    QImage picture(kWoodPictureSize, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), GetPatternColorNamed(QStringLiteral("wood004.jpg")));
    }
    const QString contents = project->strMacProjectBundleContentsPath();
    const QString name = ContentsFolder::reserveName(
        contents, QStringLiteral("psd_%1_%2.jpg")
                      .arg(project->slideCount(), 3, 10, QLatin1Char('0'))
                      .arg(ContentsFolder::secondsSinceReferenceDate(), 0, 'f', 2));
    const QString path = contents + QLatin1Char('/') + name;
    if (!name.isEmpty()) {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(kWoodPictureQuality);
        if (!writer.write(picture.convertToFormat(QImage::Format_RGB32)))
            qWarning("Vistrelle: the wood picture could not be written: %s",
                     qPrintable(writer.errorString()));
    }
    // A picture that could not be written is still handed on: the import reports it.
    photoImporter().addImage(path, slideInsertIndex);
    showCurrentSlideAfterInsert();
}

// ---- arranging and removing

void SlideshowMainObject::ArrangeSlideOrder() {
    stop();
    auto& state = slideList();
    if (!state.arrangeWindow) {
        state.arrangeWindow = new ArrangeOrderWndController(ui.mainWindow); // released after its close
        connect(state.arrangeWindow, &QDialog::finished, state.arrangeWindow, &QObject::deleteLater);
        state.arrangeWindow->setMainObject(this);
    }
    state.arrangeWindow->show();
    state.arrangeWindow->raise();
    state.arrangeWindow->activateWindow();
}

// The arrange-order window deletes itself once closed; a close reported by name changes nothing more.
void SlideshowMainObject::windowWillClose(const Notification&) {}

void SlideshowMainObject::removeItemsAtIndexes(const IndexSet& indexes) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const int remembered = currentSlideIndex;
    setNCurrentSlideshowItemIndex(-1);
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    for (std::size_t index : indexes)
        if (index < slides.size())
            slides[index]->deleteFilesForDeletingItem();
    project->setSlideshowArray(itemsWithoutIndexes(slides, indexes));
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();
    layoutScrollImages();
    // No current slide (-1) counts as past the end, so the last slide becomes current.
    const std::size_t count = project->slideCount();
    if (quint64(qint64(remembered)) >= count) {
        if (count > 0)
            setNCurrentSlideshowItemIndex(int(count - 1));
    } else {
        setNCurrentSlideshowItemIndex(remembered);
    }
    layoutMusicSubViews();
    updateProjectInfo();
}

void SlideshowMainObject::moveItemsAtIndexes(const IndexSet& indexes, quint64 destination) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const int remembered = currentSlideIndex;
    setNCurrentSlideshowItemIndex(-1);
    std::vector<SlideItemRef> slides = project->slideshowArray();
    if (::moveItemsAtIndexes(slides, indexes, std::size_t(destination)))
        project->setSlideshowArray(std::move(slides));
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();
    layoutScrollImages();
    layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
    setNCurrentSlideshowItemIndex(remembered);
    updateProjectInfo();
}

void SlideshowMainObject::DeleteCurrentPhoto() {
    const std::vector<SlideItemRef> slides = slideshowArray();
    if (currentSlideIndex < 0 || std::size_t(currentSlideIndex) >= slides.size())
        return;
    if (slideshowDirector && slideshowDirector->directorStatus() == 1)
        stop();
    stopVideoPreview();
    const int scrollX = ui.scrollView1 ? ui.scrollView1->horizontalScrollBar()->value() : 0;
    removeItemsAtIndexes({std::size_t(currentSlideIndex)});
    // The slide that took its place, itself rather than its pan-and-zoom copy: only the slide is known to
    // the resize worker.
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide);
    else
        clearOpenGLWindow();
    if (ui.scrollView1)
        ui.scrollView1->horizontalScrollBar()->setValue(scrollX);
}

// ---- the cursor

void SlideshowMainObject::MoveCursorToFirstSlide() {
    setNCurrentSlideshowItemIndex(0);
    ensureCurrentSlideThumbnailVisible();
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide);
}

void SlideshowMainObject::MoveCursorToLastSlide() {
    const std::size_t count = slideshowArray().size();
    setNCurrentSlideshowItemIndex(count > 0 ? int(count - 1) : 0);
    ensureCurrentSlideThumbnailVisible();
    if (const SlideItemRef slide = currentSlideItem())
        showCurrentItemPhoto(slide);
}

// ---- slide sounds

void SlideshowMainObject::showSoundRecoderWnd() {
    auto& recorders = slideList().recorders;
    std::erase_if(recorders, [](const QPointer<SoundRecorderWndController>& gone) { return !gone; });
    auto* recorder = new SoundRecorderWndController(userDialogs, clock, ui.mainWindow);
    connect(recorder, &QDialog::finished, recorder, &QObject::deleteLater);
    recorders.emplace_back(recorder);
    recorder->show();
}

// Only a slide that exists takes the sound, and the autosave keeps it.
void SlideshowMainObject::notifyUpdateSlideItemSound(const Notification& notification) {
    const SlideItemRef slide = currentSlideItem();
    const auto project = SlideshowProject::currentMainProject();
    if (!slide || !project)
        return;
    slide->setStrSoundFileName(notification.object.toString());
    project->setBIsDirty(true);
}

// ---- the timeline of an opened project

void SlideshowMainObject::refreshUIForOpenProject() {
    stop();
    const auto project = SlideshowProject::currentMainProject();
    if (project && project->slideCount() > 0)
        layoutScrollImages();
    rebuildMusicSubViews();
    if (ui.scrollContentView) // a controller without its window has no strip to draw
        musicTimeline->respondMusicArrayChanged();
    layoutScrollImages();
    updateProjectInfo();
    if (slideshowDirector)
        slideshowDirector->initForNewProject();
    auto& state = slideList();
    state.thumbnailRefresh.reset(); // one walk at a time: the last one stops first
    if (project) {
        std::vector<TimelineThumbnailRefresh::Cell> cells;
        for (const SlideItemRef& slide : project->slideshowArray())
            cells.push_back({slide, slide->strThumbFileName(), slide->fileName()});
        state.thumbnailRefresh = std::make_unique<TimelineThumbnailRefresh>(
            std::move(cells), project->strMacProjectBundleContentsPath(),
            [this](const SlideItemRef& slide, const QString& madeName) {
                const auto open = SlideshowProject::currentMainProject();
                if (!madeName.isEmpty() && open && open->containsSlideItem(slide.get()))
                    slide->setStrThumbFileName(madeName);
                if (ui.scrollContentView)
                    ui.scrollContentView->update();
            });
    }
    setNCurrentSlideshowItemIndex(-1);
    clearOpenGLWindow();
    // A project with slides opens on its first, shown and marked; the welcome picture is for an empty one.
    showFirstImageInOpenGLView();
    layoutMusicSubViews();
    if (ui.mediaBrowserObj)
        ui.mediaBrowserObj->reloadForOpenProject();
}
