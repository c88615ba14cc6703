// The DVD side of the share hub: the burn set-up before the DVD command, the DVD-menu page and its menu in
// the preview, and the DVD test commands. The encode, the authoring and the burn are the DVD command's.
#include "ui/main/SlideshowMainObject.h"

#include "dvd/DVDCommand.h"
#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDProjectSettings.h"
#include "dvd/SpumuxObject.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/StringTable.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/DVDMenuViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/StillPreview.h"

#include <QDialog>
#include <QFileInfo>
#include <QVBoxLayout>

using platform::Notification;

namespace {

constexpr double kTestMenuStartDelay = 0.5;

void showError(ControllerDialogs& dialogs, const QString& message) {
    dialogs.exportDialogs().showAlertSheet(QStringLiteral("ERROR"), message, tr_("OK"));
}

} // namespace

// Share choice 3. The set-up lists the drives, so the drive of an earlier DVD is let go first.
void SlideshowMainObject::BurnDVDButtonClicked() {
    stop();
    if (!dvd) {
        showError(userDialogs, tr_("There is no player to render the DVD."));
        return;
    }
    if (isExportRunning())
        return;
    dvd->setBurnObject(nullptr);
    auto drive = userDialogs.exportDialogs().runBurnSetupPanel();
    if (!drive || !fitMusicBeforeExport())
        return;
    newExportProgressWindow(tr_("Create DVD"));
    dvd->BurnDVDButtonClicked(std::move(drive));
}

// ---- the DVD-menu page

DVDMenuViewController* SlideshowMainObject::dvdMenuViewController() const {
    return dvdMenuWindow ? dvdMenuWindow->findChild<DVDMenuViewController*>() : nullptr;
}

void SlideshowMainObject::showDVDMenuPage() {
    if (!dvdMenuWindow) {
        auto* window = new QDialog(ui.mainWindow); // deleted when closed, or with the controller
        window->setObjectName("DVDMenuWindow");
        window->setWindowTitle(tr_("DVD Menu"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(new DVDMenuViewController(userDialogs, *clock, window));
        dvdMenuWindow = window;
    } else if (DVDMenuViewController* page = dvdMenuViewController()) {
        page->loadDVDMmenu();
    }
    dvdMenuWindow->show();
    dvdMenuWindow->raise();
    dvdMenuWindow->activateWindow();
    if (DVDMenuViewController* page = dvdMenuViewController())
        page->showChosenMenu();
}

void SlideshowMainObject::ShowDVDMenuItem(const Notification& notification) {
    const QStringList pictures = notification.object.toStringList();
    if (!pictures.isEmpty())
        showImageByUsingBlock(pictures.first());
}

void SlideshowMainObject::NoDVDMenuSelected(const Notification&) {
    const std::vector<SlideItemRef> slides = slideshowArray();
    if (currentSlideIndex >= 0 && std::size_t(currentSlideIndex) < slides.size())
        showCurrentItemPhoto(slides[std::size_t(currentSlideIndex)]);
}

// ---- the DVD test commands

void SlideshowMainObject::EncodeDVDMenu() {
    stop();
    if (!dvd || isExportRunning())
        return;
    newExportProgressWindow(tr_("Encode DVD Menu"));
    dvd->EncodeDVDMenu();
}

// The buttons of the last menu encoded laid into its stream, as the authoring would.
void SlideshowMainObject::TestMpegSpumux() {
    const auto project = SlideshowProject::currentMainProject();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const std::shared_ptr<DVDMenuItem> menu = dvd ? dvd->currentDVDMenuItem() : nullptr;
    if (!project || !manager)
        return;
    QString stream =
        project->strEncodingVideoFilePath(QSizeF(DVDMenuItem::kMenuWidth, DVDMenuItem::kMenuHeight));
    stream = QFileInfo(stream).path() + QLatin1Char('/') + QFileInfo(stream).completeBaseName() +
             QStringLiteral("_dvdmenu.mpg");
    if (!menu || !QFileInfo(stream).isFile()) {
        showError(userDialogs, tr_("There is no encoded DVD menu yet: encode it first."));
        return;
    }
    SpumuxObject spumux(DVDProjectSettings::fromProject(*project, *manager));
    spumux.setInputMpegFilePath(stream);
    DVDStepError error;
    if (!spumux.image_spumux(menu->stateButtonRectArray(), &error)) {
        userDialogs.exportDialogs().showAlertSheet(DVDStepError::alertTitle(), error.message(), tr_("OK"));
        return;
    }
    userDialogs.runModalAlert(tr_("The menu's buttons are in %1.").arg(spumux.outputMpegFilePath()),
                              QString());
}

// The first three slides as a menu plays them: a short first and last, a long second, neither panned nor
// zoomed. They are copies: the test leaves the project's slides as they are.
void SlideshowMainObject::TestDVDMenu() {
    if (m_bPlaying()) {
        stop();
        return;
    }
    const auto project = SlideshowProject::currentMainProject();
    if (!project || project->slideCount() < 3 || !slideshowDirector)
        return;
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    dvdMenuSlides.clear();
    for (std::size_t i = 0; i < 3; ++i) {
        SlideItemRef menuSlide = slides[i]->copy();
        menuSlide->setZoomStart(1.0);
        menuSlide->setZoomEnd(1.0);
        menuSlide->setPanStartPoint(QPointF(0, 0));
        menuSlide->setPanEndPoint(QPointF(0, 0));
        menuSlide->customSetDurations(i == 1 ? 20.0f : 0.2f, 0.3f);
        dvdMenuSlides.push_back(menuSlide);
    }
    project->calcSlideItemsPhotoTransitionDuration(dvdMenuSlides);
    stillPreview().cancelTimers();
    playbackController().markPlaying();
    project->setNCurrentStatus(1);
    if (project->nHeightOpenGLView() > 0)
        gRenderAspectRatio = float(project->nWidthOpenGLView()) / float(project->nHeightOpenGLView());
    slideshowDirector->setSlideshowArray(dvdMenuSlides);
    slideshowDirector->setDirectorStatus(0);
    playbackController().startAfter(kTestMenuStartDelay, [this] {
        if (slideshowDirector)
            slideshowDirector->setDirectorStatus(1);
    });
}
