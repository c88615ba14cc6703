#include "ui/main/DvdMenuPage.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/DVDMenuViewController.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/SlideshowMainObject.h"

#include <QDialog>
#include <QVBoxLayout>

using platform::Notification;

namespace {

constexpr double kTestMenuStartDelay = 0.5;

} // namespace

DvdMenuPage::DvdMenuPage(SlideshowMainObject& hub, ControllerDialogs& dialogs, platform::Scheduler& scheduler,
                         const MainWindowOutlets& outlets, ProjectSource project)
    : hub(hub), userDialogs(dialogs), clock(scheduler), ui(outlets), project(std::move(project)) {}

DvdMenuPage::~DvdMenuPage() {
    delete window.data();
}

DVDMenuViewController* DvdMenuPage::viewController() const {
    return window ? window->findChild<DVDMenuViewController*>() : nullptr;
}

void DvdMenuPage::show() {
    if (!window) {
        auto* made = new QDialog(ui.mainWindow); // deleted when closed, or with the page
        made->setObjectName("DVDMenuWindow");
        made->setWindowTitle(tr_("DVD Menu"));
        made->setAttribute(Qt::WA_DeleteOnClose);
        // The menu's picture is the page's: once it closes, the preview shows what it showed before.
        QObject::connect(made, &QDialog::finished, made, [this] {
            if (!hub.m_bPlaying())
                hub.showCurrentSlideOrWelcome();
        });
        auto* layout = new QVBoxLayout(made);
        layout->addWidget(new DVDMenuViewController(userDialogs, clock, project, made));
        window = made;
    } else if (DVDMenuViewController* page = viewController()) {
        page->loadDVDMmenu();
    }
    window->show();
    window->raise();
    window->activateWindow();
    if (DVDMenuViewController* page = viewController())
        page->showChosenMenu();
}

void DvdMenuPage::showMenuItem(const Notification& notification) {
    const QStringList pictures = notification.object.toStringList();
    if (!pictures.isEmpty())
        hub.showImageByUsingBlock(pictures.first());
}

void DvdMenuPage::noMenuSelected() {
    hub.showCurrentSlideOrWelcome();
}

// A short first and last slide, a long second, neither panned nor zoomed. They are copies: the test leaves
// the project's slides as they are. None while an export plays: the player is the export's.
void DvdMenuPage::testMenu() {
    if (hub.m_bPlaying()) {
        hub.stop();
        return;
    }
    if (hub.playbackController().exportOwnsPlayer())
        return;
    const auto played = project();
    const std::shared_ptr<SlideshowDirector> director = hub.director();
    if (!played || played->slideCount() < 3 || !director)
        return;
    const std::vector<SlideItemRef> projectSlides = played->slideshowArray();
    slides.clear();
    for (std::size_t i = 0; i < 3; ++i) {
        SlideItemRef menuSlide = projectSlides[i]->copy();
        menuSlide->setZoomStart(1.0);
        menuSlide->setZoomEnd(1.0);
        menuSlide->setPanStartPoint(QPointF(0, 0));
        menuSlide->setPanEndPoint(QPointF(0, 0));
        menuSlide->customSetDurations(i == 1 ? 20.0f : 0.2f, 0.3f);
        slides.push_back(menuSlide);
    }
    played->calcSlideItemsPhotoTransitionDuration(slides);
    hub.enterPlayState();
    played->setNCurrentStatus(1);
    director->setSlideshowArray(slides);
    director->setDirectorStatus(0);
    hub.startPlayerAfter(kTestMenuStartDelay);
}
