#include "ui/main/ShareController.h"

#include "dvd/DVDCommand.h"
#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "dvd/DVDProjectSettings.h"
#include "dvd/SpumuxObject.h"
#include "export/MP4ExportCommand.h"
#include "export/MovieExportCommand.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/HeapSettings.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "render/DirectorFrameRenderer.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/editing/MovieSettingsWndController.h"
#include "ui/editing/ShareOptionsViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/SlideshowMainObject.h"

#include <QCursor>
#include <QFileInfo>
#include <QUrl>

using platform::Notification;

namespace {

const QString kPhotoLibrary = QStringLiteral("PhotoLibrary");
const QString kVideoSite = QStringLiteral("VideoSite");
const QString kSocialSite = QStringLiteral("SocialSite");
const QString kBurnDVD = QStringLiteral("BurnDVD");
constexpr double kExportEndPoll = 0.2;

void post(const QString& name, const QVariant& object = QVariant(), const QVariantMap& userInfo = {}) {
    platform::NotificationCenter::defaultCenter().post(name, object, userInfo);
}

void showError(ControllerDialogs& dialogs, const QString& message) {
    dialogs.exportDialogs().showAlertSheet(QStringLiteral("ERROR"), message, tr_("OK"));
}

} // namespace

ShareController::ShareController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                                 platform::Scheduler& scheduler, const MainWindowOutlets& outlets,
                                 ProjectSource project, ProjectSource openProject)
    : hub(hub), userDialogs(dialogs), clock(scheduler), ui(outlets), project(std::move(project)),
      openProject(std::move(openProject)) {}

ShareController::~ShareController() {
    dropExportCommands();
    queuedEditDone.cancel();
    queuedShareResult.cancel();
    closeShareCallOut();
    delete exportWindow.data();
}

// ---- the commands, which play through the player

void ShareController::makeExportCommands(const std::shared_ptr<SlideshowDirector>& director) {
    dropExportCommands();
    if (!director)
        return;
    DVDCommandDialogs& exportDialogs = userDialogs.exportDialogs();
    movieCommand =
        std::make_unique<MovieExportCommand>(exportDialogs, DirectorFrameRenderer::factory(director));
    mp4Command = std::make_unique<MP4ExportCommand>(exportDialogs, DirectorFrameRenderer::factory(director));
    movieCommand->setOtherExportRunning([this] { return mp4Command && mp4Command->isEncoding(); });
    dvd = std::make_unique<DVDCommand>(director, exportDialogs);
}

// The DVD command first: its pumps post progress that the movie export observes.
void ShareController::dropExportCommands() {
    dvd.reset();
    mp4Command.reset();
    movieCommand.reset();
}

bool ShareController::isEncoding() const {
    return (movieCommand && movieCommand->isEncoding()) || (mp4Command && mp4Command->isEncoding());
}

bool ShareController::isExportRunning() const {
    return isEncoding() || (dvd && dvd->stage() != DVDCommand::Stage::Idle);
}

AWAttachedWindow* ShareController::attachedWindow() const {
    return shareCallOut;
}

ExportProgressWindowController* ShareController::exportProgressWC() const {
    return exportWindow;
}

QString ShareController::serviceName() const {
    const auto current = project();
    return current ? current->strShareServceType() : QString();
}

// ---- the share choices

void ShareController::closeShareCallOut() {
    if (shareCallOut)
        shareCallOut->closeAndRelease();
    shareCallOut = nullptr;
}

// The call-out reaches leftwards into the window from the button at its right edge, above it.
void ShareController::shareButtonClicked() {
    if (shareCallOut) {
        closeShareCallOut();
        return;
    }
    QPointF anchor;
    if (ui.m_btnShare1 && ui.mainWindow)
        anchor = ui.m_btnShare1->mapTo(ui.mainWindow, QPoint(ui.m_btnShare1->width() / 2, 0));
    shareCallOut = AWAttachedWindow::create(new ShareOptionsViewController, anchor, ui.mainWindow,
                                            AWSideAboveLeftward, 0.0f);
    connect(shareCallOut, &AWAttachedWindow::didResignKey, this, &ShareController::closeShareCallOut);
    connect(shareCallOut, &AWAttachedWindow::escapePressed, this, &ShareController::closeShareCallOut);
    shareCallOut->show();
    shareCallOut->raise();
    shareCallOut->activateWindow();
}

void ShareController::popUpShareMenu() {
    if (ui.m_menuShare1)
        ui.m_menuShare1->popup(QCursor::pos());
}

void ShareController::shareChoice(int choice) {
    hub.stop();
    post(kNotifyShareOptionButtonClick, choice);
}

void ShareController::shareOptionChosen(const Notification& notification) {
    closeShareCallOut();
    const auto chosenFor = openProject();
    bool isNumber = false;
    const int choice = notification.object.toInt(&isNumber);
    if (!chosenFor || !isNumber)
        return;
    switch (choice) {
    case 0:
        chosenFor->setShareOption("ServiceName", kPhotoLibrary);
        post(kNotifyUploadSigninSuccess);
        break;
    case 1: // the uploader signs in and then asks for the settings
        chosenFor->setShareOption("ServiceName", kVideoSite);
        break;
    case 2:
        chosenFor->setShareOption("ServiceName", kSocialSite);
        break;
    case 3:
        hub.BurnDVDButtonClicked();
        break;
    default:
        break;
    }
}

// Their OK starts the export once the window has returned, outside its modal run.
void ShareController::signedIn() {
    if (refusesToShare()) // before the user fills in the settings
        return;
    MovieSettingsWndController settings(project, ui.mainWindow);
    if (userDialogs.runModalWindow(settings) != QDialog::Accepted)
        return;
    queuedEditDone = clock.scheduleOnce(0.0, [] { post(kNotifyVideoInfoEditDone); });
}

void ShareController::openWebsite() {
    userDialogs.openWebPage(QUrl(SlideshowMainObject::websiteAddress()));
}

// ---- the movie export

// A music video's photos are fitted to its music first; false when the user abandons the export.
bool ShareController::fitMusicBeforeExport() {
    const auto fitted = openProject();
    if (!fitted || !fitted->bIsMusicSideshow() || fitted->doesSyncMusicAndSlideshowDuration())
        return true;
    const QVariantMap fit = fitted->syncMusicAndSlideshowDuration();
    if (fit.value(QStringLiteral("failType")).toString() == QLatin1String("Success")) {
        hub.notifyRefreshTimelineUI({});
        return true;
    }
    return hub.runPhotoMusicSyncForExport(fit) != 0;
}

// Each export gets a new window, with the cancel flag cleared; it exists before the encode starts, so that
// an end that comes at once finds it.
ExportProgressWindowController& ShareController::newExportProgressWindow(const QString& windowTitle) {
    if (exportWindow)
        exportWindow->deleteLater();
    exportWindow = new ExportProgressWindowController(project, ui.mainWindow);
    exportWindow->setTitle(windowTitle);
    exportWindow->setInfoText(tr_("Preparing..."));
    userDialogs.setExportProgressWindow(exportWindow);
    showCurrentSlideWhenExportEnds();
    return *exportWindow;
}

// An export stops the preview and a clip's player and draws with the player; however it ends (finished,
// failed or cancelled, its last step running later than the window's close), the preview then shows the
// current slide again, a clip in its player.
void ShareController::showCurrentSlideWhenExportEnds() {
    exportEndWatch = clock.scheduleRepeating(kExportEndPoll, [this] {
        if (isExportRunning())
            return;
        exportEndWatch.cancel();
        platform::returnFreeHeapMemory(); // what the export's drawing, encoding and mixing freed
        const auto current = project();
        const int index = hub.nCurrentSlideshowItemIndex();
        if (const SlideItemRef slide =
                current && index >= 0 ? current->slideItemAtIndex(std::size_t(index)) : nullptr)
            hub.showCurrentItemPhoto(slide);
        else
            hub.showWelcomeScreen();
    });
}

bool ShareController::refusesToShare() {
    return isExportRunning() || refusedWhileImporting();
}

bool ShareController::refusedWhileImporting() {
    // What is still coming in would join the show under the export: its pictures, its sound and its length
    // would each hold another show.
    if (!hub.isImportIdle() || !hub.isClipImportIdle()) {
        showError(userDialogs, tr_("Photos or clips are still being added to the slideshow. Please share it "
                                   "once they are all in."));
        return true;
    }
    // Every slide is in; the resized pictures and backdrops that the export draws are still being written.
    if (!hub.resizeWorker().isIdle()) {
        showError(userDialogs, tr_("The pictures of the slideshow are still being prepared. Please share it "
                                   "once they are ready."));
        return true;
    }
    return false;
}

void ShareController::videoInfoEditDone() {
    hub.stop();
    // The DVD command starts its own encode: its set-up and the music fit came before.
    if (serviceName() == kBurnDVD || refusesToShare())
        return;
    if (!movieCommand) {
        showError(userDialogs, tr_("There is no player to render the movie."));
        return;
    }
    if (!fitMusicBeforeExport())
        return;
    newExportProgressWindow(tr_("Export Movie"));
    if (!movieCommand->startEncodingMovieFile())
        return;
    userDialogs.exportDialogs().runExportProgressModal();
}

// ---- the finish of a movie

// After the encoder's finish, for a movie or MP4 export of ours only: a DVD's passes never come here.
void ShareController::createVideoFileEnded() {
    const bool movie = movieCommand && movieCommand->isEncoding();
    const bool mp4 = mp4Command && mp4Command->isEncoding();
    if (!movie && !mp4)
        return;
    const auto current = project();
    const QString service = serviceName();
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    QString error;
    if (manager && manager->recordEncoding(size, SlideshowProject::strVideoOutputFormat().toLower()) &&
        !manager->saveToFile(&error))
        qWarning("Vistrelle: the record of the movie could not be saved: %s", qPrintable(error));
    hub.stop();

    const std::optional<platform::FileIdentity> written =
        movie ? movieCommand->encoderController()->writtenMovie()
              : mp4Command->mp4CreateObject()->writtenMovie();
    QString moved;
    QString moveError;
    if (service == kPhotoLibrary)
        moved = SlideshowProject::copyEncodedMovieFileForExport(written, &moveError);
    const QString source = current ? current->strEncodingVideoFilePath(size) : QString();
    if (movie)
        movieCommand->endEncoding();

    if (service == kPhotoLibrary)
        queuedShareResult =
            clock.scheduleOnce(0.0, [this, moved, moveError] { showMovieFileResult(moved, moveError); });
    else if (service != kBurnDVD) // the uploader takes the video site's; nothing takes the social site's yet
        queuedShareResult =
            clock.scheduleOnce(0.0, [this, source, written] { postContinueUpload(source, written); });
}

// Congratulates only on a moved movie that is there and not empty; otherwise the reason, the movie left
// where it was made.
void ShareController::showMovieFileResult(const QString& moved, const QString& error) {
    const QFileInfo file(moved);
    if (moved.isEmpty() || !file.isFile() || file.size() == 0) {
        showError(userDialogs,
                  platform::errorSentence(error, tr_("The movie file %1 is missing or empty.").arg(moved)));
        return;
    }
    if (userDialogs.runQuestionAlert(tr_("Congratulations! Movie file has been created successfully!"),
                                     tr_("You can copy to USB storage device and play on HDTV or upload to "
                                         "Internet."),
                                     tr_("Show Movie File in Folder"), tr_("Close"),
                                     ControllerDialogs::UnchangedBy::OtherButton))
        userDialogs.revealFile(moved);
}

// The uploader answers to the window's controller, as it always has; it sends the movie only as the export
// left it.
void ShareController::postContinueUpload(const QString& sourcePath,
                                         const std::optional<platform::FileIdentity>& written) {
    const QVariant window = QVariant::fromValue<QObject*>(exportWindow.data());
    QVariantMap info{{QStringLiteral("ExportProgressWindowController"), window},
                     {QStringLiteral("SlideshowMainObject"), QVariant::fromValue<QObject*>(&hub)},
                     {QStringLiteral("strSourceVideoFilePath"), sourcePath}};
    if (written)
        info.insert(kWrittenMovieKey, QVariant::fromValue(*written));
    post(kNotifyContinueUploadVideo, window, info);
}

// ---- the cancel

// The movie and MP4 branches; the DVD command and its author cancel their own, the uploader its upload.
void ShareController::cancelEncoding() {
    if (movieCommand)
        movieCommand->cancelEncoding();
    if (mp4Command)
        mp4Command->cancelEncoding();
}

// ---- the DVD

// Share choice 3. The set-up lists the drives, so the drive of an earlier DVD is let go first.
void ShareController::burnDVD() {
    hub.stop();
    if (!dvd) {
        showError(userDialogs, tr_("There is no player to render the DVD."));
        return;
    }
    if (refusesToShare())
        return;
    dvd->setBurnObject(nullptr);
    auto drive = userDialogs.exportDialogs().runBurnSetupPanel();
    if (!drive || !fitMusicBeforeExport())
        return;
    newExportProgressWindow(tr_("Create DVD"));
    dvd->BurnDVDButtonClicked(std::move(drive));
}

// The DVD commands that encode or author on their own: the preview stopped, a new progress window.
bool ShareController::beginDVDStep(const QString& windowTitle) {
    hub.stop();
    if (!dvd || refusesToShare())
        return false;
    newExportProgressWindow(windowTitle);
    return true;
}

void ShareController::encodeDVDMenu() {
    if (beginDVDStep(tr_("Encode DVD Menu")))
        dvd->EncodeDVDMenu();
}

void ShareController::encodeDVDSlideshow() {
    if (beginDVDStep(tr_("Encode DVD Slideshow")) && dvd->createDVDMPEGIIFile())
        userDialogs.exportDialogs().runExportProgressModal();
}

void ShareController::startDVDAuthor() {
    if (beginDVDStep(tr_("Build DVD")))
        dvd->StartDVDAuthor();
}

// The buttons of the last menu encoded laid into its stream, as the authoring would.
void ShareController::testMpegSpumux() {
    const auto current = project();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const std::shared_ptr<DVDMenuItem> menu = dvd ? dvd->currentDVDMenuItem() : nullptr;
    if (!current || !manager)
        return;
    QString stream =
        current->strEncodingVideoFilePath(QSizeF(DVDMenuItem::kMenuWidth, DVDMenuItem::kMenuHeight));
    stream = QFileInfo(stream).path() + QLatin1Char('/') + QFileInfo(stream).completeBaseName() +
             QStringLiteral("_dvdmenu.mpg");
    if (!menu || !QFileInfo(stream).isFile()) {
        showError(userDialogs, tr_("There is no encoded DVD menu yet: encode it first."));
        return;
    }
    SpumuxObject spumux(DVDProjectSettings::fromProject(*current, *manager));
    spumux.setInputMpegFilePath(stream);
    // The pictures that menu made, not whatever another program has put at their names since.
    spumux.setStatePictureFiles(menu->reducedStatePictureFiles());
    DVDStepError error;
    if (!spumux.image_spumux(menu->stateButtonRectArray(), &error)) {
        userDialogs.exportDialogs().showAlertSheet(DVDStepError::alertTitle(), error.message(), tr_("OK"));
        return;
    }
    userDialogs.runModalAlert(tr_("The menu's buttons are in %1.").arg(spumux.outputMpegFilePath()),
                              QString());
}

void ShareController::connectActions() {
    const std::pair<QAction*, void (SlideshowMainObject::*)()> commands[] = {
        {ui.shareMovieMenuItem, &SlideshowMainObject::ShareEncodeMovieButtonClick},
        {ui.shareVideoSiteMenuItem, &SlideshowMainObject::ShareVideoSiteButtonClick},
        {ui.shareSocialSiteMenuItem, &SlideshowMainObject::ShareSocialSiteButtonClick},
        {ui.burnDVDMenuItem, &SlideshowMainObject::BurnDVDButtonClicked},
        {ui.dvdMenuMenuItem, &SlideshowMainObject::showDVDMenuPage},
        {ui.encodeDVDMenuMenuItem, &SlideshowMainObject::EncodeDVDMenu},
        {ui.testDVDMenuMenuItem, &SlideshowMainObject::TestDVDMenu},
        {ui.testSpumuxMenuItem, &SlideshowMainObject::TestMpegSpumux},
        {ui.websiteAppMenuItem, &SlideshowMainObject::websiteMenuitemClicked}};
    for (const auto& [item, command] : commands)
        if (item)
            connect(item, &QAction::triggered, &hub, command);
    if (ui.m_btnShare1) {
        ui.m_btnShare1->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(ui.m_btnShare1, &QWidget::customContextMenuRequested, &hub,
                &SlideshowMainObject::shareButton1Clicked);
    }
    if (ui.m_btnShare) // hidden, as the menu's Burn DVD: the share call-out offers the DVD
        connect(ui.m_btnShare, &QAbstractButton::clicked, this, [this] { shareChoice(3); });
}
