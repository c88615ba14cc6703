#include "ui/main/SlideListController.h"

#include "dvd/DVDCommandDialogs.h"
#include "model/ContentsFolder.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "render/DrawUtils.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/ArrangeOrderWndController.h"
#include "ui/editing/EditingPanelSupport.h"
#include "ui/editing/MoveItemsAtIndexes.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/SoundRecorderWndController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/ImageBrowserObject.h"
#include "ui/main/SlideshowMainObject.h"
#include "ui/main/TimelineThumbnailRefresh.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QScrollBar>

using platform::Notification;

namespace {

constexpr QSize kWoodPictureSize{1920, 1080};
constexpr int kWoodPictureQuality = 90;

} // namespace

SlideListController::SlideListController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                                         std::shared_ptr<platform::Scheduler> scheduler,
                                         const MainWindowOutlets& outlets, ProjectSource project, Hooks hooks)
    : hub(hub), dialogs(dialogs), scheduler(std::move(scheduler)), ui(outlets), project(std::move(project)),
      hooks(std::move(hooks)) {}

SlideListController::~SlideListController() {
    thumbnailRefresh.reset();
    for (const QPointer<SoundRecorderWndController>& recorder : recorders)
        delete recorder.data();
    delete arrangeWindow.data();
    delete blankWindow.data();
}

blankImageWndController* SlideListController::blankWnd() const {
    return blankWindow.data();
}

ArrangeOrderWndController* SlideListController::arrangeOrderWC() const {
    return arrangeWindow.data();
}

bool SlideListController::isTimelineRefreshRunning() const {
    return thumbnailRefresh && !thumbnailRefresh->isFinished();
}

SlideItemRef SlideListController::currentSlideItem() const {
    return slideOf(project, hub.nCurrentSlideshowItemIndex());
}

std::vector<SlideItemRef> SlideListController::slides() const {
    return slidesOf(project);
}

// ---- blank pictures

void SlideListController::AddBlankImageFromBundle() {
    hub.stop();
    if (!blankWindow)
        blankWindow = new blankImageWndController(false, project, ui.mainWindow); // kept for the whole run
    blankWindow->show();
    blankWindow->raise();
    blankWindow->activateWindow();
}

std::unique_ptr<QDialog> SlideListController::makeBlankImageWindow(bool themeBackground) {
    return std::make_unique<blankImageWndController>(themeBackground, project, ui.mainWindow);
}

// The picture goes where the current slide is and becomes current; without a current slide it is appended
// and none is current afterwards.
void SlideListController::NotifyInsertBlankImage(const Notification& notification) {
    const QString path = notification.object.toString();
    if (path.isEmpty())
        return;
    hub.setNSlideInsertIndex(quint64(qint64(hub.nCurrentSlideshowItemIndex())));
    hub.setNCurrentSlideshowItemIndex(-1);
    hooks.addPicture(path, hub.nSlideInsertIndex());
    hub.setNCurrentSlideshowItemIndex(int(qint32(hub.nSlideInsertIndex())));
    showCurrentSlideAfterInsert();
}

// The preview shows what the strip marks: an insert at the current place puts another slide there.
void SlideListController::showCurrentSlideAfterInsert() {
    if (const SlideItemRef slide = currentSlideItem()) {
        // the pan-and-zoom copy of the slide now there
        hub.setNCurrentSlideshowItemIndex(hub.nCurrentSlideshowItemIndex());
        hub.showCurrentItemPhoto(slide);
    }
}

void SlideListController::AddBlankImageButtonClicked() {
    const auto open = project();
    if (!open)
        return;
    QImage picture(kWoodPictureSize, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), GetPatternColorNamed(QStringLiteral("wood004.jpg")));
    }
    const QString contents = open->strMacProjectBundleContentsPath();
    QString error;
    const QString name =
        ContentsFolder::reserveName(contents,
                                    QStringLiteral("psd_%1_%2.jpg")
                                        .arg(open->slideCount(), 3, 10, QLatin1Char('0'))
                                        .arg(ContentsFolder::secondsSinceReferenceDate(), 0, 'f', 2),
                                    &error);
    const QString path = contents + QLatin1Char('/') + name;
    if (!name.isEmpty()) {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(kWoodPictureQuality);
        if (!writer.write(picture.convertToFormat(QImage::Format_RGB32))) {
            error = writer.errorString();
            QFile::remove(path);
        }
    }
    // The import would report a picture of no file name as a blank line: the reason is told here.
    if (name.isEmpty() || !QFileInfo(path).isFile()) {
        dialogs.exportDialogs().showAlertSheet(
            QStringLiteral("ERROR"),
            tr_("The wood picture could not be added to the project.") + QStringLiteral("\n\n") +
                platform::errorSentence(error, tr_("Its file could not be written.")),
            tr_("OK"));
        return;
    }
    hooks.addPicture(path, hub.nSlideInsertIndex());
    showCurrentSlideAfterInsert();
}

// ---- arranging and removing

void SlideListController::ArrangeSlideOrder() {
    hub.stop();
    if (!arrangeWindow) {
        arrangeWindow = new ArrangeOrderWndController(project, ui.mainWindow); // released after its close
        QObject::connect(arrangeWindow, &QDialog::finished, arrangeWindow, &QObject::deleteLater);
        arrangeWindow->setMainObject(&hub);
    }
    arrangeWindow->show();
    arrangeWindow->raise();
    arrangeWindow->activateWindow();
}

// The arrange-order window deletes itself once closed; a close reported by name changes nothing more.
void SlideListController::windowWillClose(const Notification&) {}

void SlideListController::removeItemsAtIndexes(const IndexSet& indexes) {
    const auto open = project();
    if (!open)
        return;
    const int remembered = hub.nCurrentSlideshowItemIndex();
    hub.setNCurrentSlideshowItemIndex(-1);
    const std::vector<SlideItemRef> slides = open->slideshowArray();
    std::vector<SlideItemRef> removed;
    for (std::size_t index : indexes)
        if (index < slides.size())
            removed.push_back(slides[index]);
    open->setSlideshowArray(itemsWithoutIndexes(slides, indexes));
    open->deleteFilesOfRemovedSlides(removed);
    open->setBIsDirty(true);
    open->calcSlideItemsPhotoTransitionDuration();
    hub.layoutScrollImages();
    // No current slide (-1) counts as past the end, so the last slide becomes current.
    const std::size_t count = open->slideCount();
    if (quint64(qint64(remembered)) >= count) {
        if (count > 0)
            hub.setNCurrentSlideshowItemIndex(int(count - 1));
    } else {
        hub.setNCurrentSlideshowItemIndex(remembered);
    }
    hub.layoutMusicSubViews();
    hub.updateProjectInfo();
    showCurrentSlide();
}

void SlideListController::moveItemsAtIndexes(const IndexSet& indexes, quint64 destination) {
    const auto open = project();
    if (!open)
        return;
    const int remembered = hub.nCurrentSlideshowItemIndex();
    hub.setNCurrentSlideshowItemIndex(-1);
    std::vector<SlideItemRef> slides = open->slideshowArray();
    if (::moveItemsAtIndexes(slides, indexes, std::size_t(destination)))
        open->setSlideshowArray(std::move(slides));
    open->setBIsDirty(true);
    open->calcSlideItemsPhotoTransitionDuration();
    hub.layoutScrollImages();
    hub.layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
    hub.setNCurrentSlideshowItemIndex(remembered);
    hub.updateProjectInfo();
    if (remembered >= 0)
        showCurrentSlide(); // another slide may stand at the current place now
}

// The current place keeps its index; the slide now there is marked, and shown.
void SlideListController::slidesReordered() {
    const int current = hub.nCurrentSlideshowItemIndex();
    hub.setNCurrentSlideshowItemIndex(current); // the pan-and-zoom copy of the slide now there
    hub.updateProjectInfo();
    if (current >= 0)
        showCurrentSlide();
}

// The preview shows what the strip marks: the slide itself rather than its pan-and-zoom copy, as only the
// slide is known to the resize worker; the welcome picture when none is current.
void SlideListController::showCurrentSlide() {
    if (const SlideItemRef slide = currentSlideItem())
        hub.showCurrentItemPhoto(slide);
    else
        hub.clearOpenGLWindow();
}

void SlideListController::DeleteCurrentPhoto() {
    const int current = hub.nCurrentSlideshowItemIndex();
    if (current < 0 || std::size_t(current) >= slides().size())
        return;
    if (const auto director = hub.director(); director && director->directorStatus() == 1)
        hub.stop();
    hub.stopVideoPreview();
    const int scrollX = ui.scrollView1 ? ui.scrollView1->horizontalScrollBar()->value() : 0;
    removeItemsAtIndexes({std::size_t(current)}); // shows the slide that took its place
    if (ui.scrollView1)
        ui.scrollView1->horizontalScrollBar()->setValue(scrollX);
}

// ---- the cursor

void SlideListController::MoveCursorToFirstSlide() {
    moveCursorTo(0);
}

void SlideListController::MoveCursorToLastSlide() {
    const std::size_t count = slides().size();
    moveCursorTo(count > 0 ? int(count - 1) : 0);
}

void SlideListController::moveCursorTo(int index) {
    hub.setNCurrentSlideshowItemIndex(index);
    hub.ensureCurrentSlideThumbnailVisible();
    if (const SlideItemRef slide = currentSlideItem())
        hub.showCurrentItemPhoto(slide);
}

// ---- slide sounds

void SlideListController::showSoundRecoderWnd() {
    std::erase_if(recorders, [](const QPointer<SoundRecorderWndController>& gone) { return !gone; });
    auto* recorder = new SoundRecorderWndController(
        dialogs, scheduler, project, [this] { return currentSlideItem(); }, ui.mainWindow);
    QObject::connect(recorder, &QDialog::finished, recorder, &QObject::deleteLater);
    QObject::connect(&hub, &SlideshowMainObject::currentSlideChanged, recorder,
                     &SoundRecorderWndController::showCurrentSlideSound);
    recorders.emplace_back(recorder);
    // In front and given the keyboard, as every panel is: else Escape goes to whichever window had it.
    editing_panel::present(*recorder);
}

// Only a slide that exists takes the sound (none: its sound taken off), and the autosave keeps it. The sound
// it replaces, when it is the project's own copy of a file chosen before, goes once nothing of the project
// refers to it: nothing else would ever remove it. Every recorder window open shows what the slide has now.
void SlideListController::notifyUpdateSlideItemSound(const Notification& notification) {
    const SlideItemRef slide = currentSlideItem();
    const auto open = project();
    if (!slide || !open)
        return;
    const QString earlier = slide->strSoundFileName();
    slide->setStrSoundFileName(notification.object.toString());
    open->setBIsDirty(true);
    open->removeCopyNamedByNothing(earlier);
    for (const QPointer<SoundRecorderWndController>& recorder : recorders)
        if (recorder)
            recorder->showCurrentSlideSound();
}

// ---- the timeline of an opened project

void SlideListController::refreshUIForOpenProject() {
    hub.stop();
    const auto open = project();
    if (open && open->slideCount() > 0)
        hub.layoutScrollImages();
    hub.rebuildMusicSubViews();
    if (ui.scrollContentView) // a controller without its window has no strip to draw
        hub.musicTimelineViewController().respondMusicArrayChanged();
    hub.layoutScrollImages();
    hub.updateProjectInfo();
    if (const auto director = hub.director())
        director->initForNewProject();
    thumbnailRefresh.reset(); // one walk at a time: the last one stops first
    if (open) {
        std::vector<TimelineThumbnailRefresh::Cell> cells;
        for (const SlideItemRef& slide : open->slideshowArray())
            cells.push_back({slide, slide->strThumbFileName(), slide->fileName()});
        thumbnailRefresh = std::make_unique<TimelineThumbnailRefresh>(
            std::move(cells), open->strMacProjectBundleContentsPath(),
            [this](const SlideItemRef& slide, const QString& madeName) {
                const auto now = project();
                // Saved with the project, or every reopen would make the slide another thumbnail file.
                const bool taken = !madeName.isEmpty() && now && now->containsSlideItem(slide.get());
                if (taken) {
                    slide->setStrThumbFileName(madeName);
                    now->setBIsDirty(true);
                }
                if (ui.scrollContentView)
                    ui.scrollContentView->update();
                return taken;
            });
    }
    hub.setNCurrentSlideshowItemIndex(-1);
    hub.clearOpenGLWindow();
    // A project with slides opens on its first, shown and marked; the welcome picture is for an empty one.
    hub.showFirstImageInOpenGLView();
    hub.layoutMusicSubViews();
    if (ui.mediaBrowserObj)
        ui.mediaBrowserObj->reloadForOpenProject();
}
