// The share hub: the share choices and their call-out, the movie settings, the movie export under its
// progress window, the finish of a movie (the record, the move into the output folder, the hand-off to the
// upload) and the cancel. The movie export, the MP4 export and the DVD command are engine commands this
// controller owns; the DVD's own branches live in those objects and in SlideshowMainObjectDVD.cpp.
#include "ui/main/SlideshowMainObject.h"

#include "dvd/DVDCommand.h"
#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDNotifications.h"
#include "export/MP4ExportCommand.h"
#include "export/MovieExportCommand.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
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

QString serviceName() {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->strShareServceType() : QString();
}

} // namespace

// ---- the commands, which play through the player

void SlideshowMainObject::makeExportCommands() {
    dropExportCommands();
    if (!slideshowDirector)
        return;
    DVDCommandDialogs& exportDialogs = userDialogs.exportDialogs();
    movieCommand = std::make_unique<MovieExportCommand>(exportDialogs,
                                                        DirectorFrameRenderer::factory(slideshowDirector));
    mp4Command =
        std::make_unique<MP4ExportCommand>(exportDialogs, DirectorFrameRenderer::factory(slideshowDirector));
    movieCommand->setOtherExportRunning([this] { return mp4Command && mp4Command->isEncoding(); });
    dvd = std::make_unique<DVDCommand>(slideshowDirector, exportDialogs);
}

// The DVD command first: its pumps post progress that the movie export observes.
void SlideshowMainObject::dropExportCommands() {
    dvd.reset();
    mp4Command.reset();
    movieCommand.reset();
}

bool SlideshowMainObject::isEncoding() const {
    return (movieCommand && movieCommand->isEncoding()) || (mp4Command && mp4Command->isEncoding());
}

// ---- the share choices

void SlideshowMainObject::closeShareCallOut() {
    if (shareCallOut)
        shareCallOut->closeAndRelease();
    shareCallOut = nullptr;
}

// The Share button: the call-out of the four targets above it, reaching leftwards into the window from the
// button at its right edge; a second click closes it.
void SlideshowMainObject::shareButtonClicked() {
    if (shareCallOut) {
        closeShareCallOut();
        return;
    }
    QPointF anchor;
    if (ui.m_btnShare1 && ui.mainWindow)
        anchor = ui.m_btnShare1->mapTo(ui.mainWindow, QPoint(ui.m_btnShare1->width() / 2, 0));
    shareCallOut = AWAttachedWindow::create(new ShareOptionsViewController, anchor, ui.mainWindow,
                                            AWSideAboveLeftward, 0.0f);
    connect(shareCallOut, &AWAttachedWindow::didResignKey, this, &SlideshowMainObject::closeShareCallOut);
    shareCallOut->show();
    shareCallOut->raise();
    shareCallOut->activateWindow();
}

void SlideshowMainObject::shareChoice(int choice) {
    stop();
    post(kNotifyShareOptionButtonClick, choice);
}

void SlideshowMainObject::ShareEncodeMovieButtonClick() {
    shareChoice(0);
}

void SlideshowMainObject::ShareVideoSiteButtonClick() {
    shareChoice(1);
}

void SlideshowMainObject::ShareSocialSiteButtonClick() {
    shareChoice(2);
}

void SlideshowMainObject::NotifyShareButtonClicked(const Notification& notification) {
    closeShareCallOut();
    const auto project = SlideshowProject::mainProject();
    bool isNumber = false;
    const int choice = notification.object.toInt(&isNumber);
    if (!project || !isNumber)
        return;
    switch (choice) {
    case 0:
        project->setShareOption("ServiceName", kPhotoLibrary);
        post(kNotifyUploadSigninSuccess);
        break;
    case 1: // the uploader signs in and then asks for the settings
        project->setShareOption("ServiceName", kVideoSite);
        break;
    case 2:
        project->setShareOption("ServiceName", kSocialSite);
        break;
    case 3:
        BurnDVDButtonClicked();
        break;
    default:
        break;
    }
}

// The movie settings; their OK starts the export once the window has returned, outside its modal run.
void SlideshowMainObject::UploadSigninSucess(const Notification&) {
    if (isExportRunning())
        return;
    MovieSettingsWndController settings(ui.mainWindow);
    if (userDialogs.runModalWindow(settings) != QDialog::Accepted)
        return;
    queuedEditDone = clock->scheduleOnce(0.0, [] { post(kNotifyVideoInfoEditDone); });
}

// ---- the movie export

// A music video's photos are fitted to its music first; false when the user abandons the export.
bool SlideshowMainObject::fitMusicBeforeExport() {
    const auto project = SlideshowProject::mainProject();
    if (!project || !project->bIsMusicSideshow() || project->doesSyncMusicAndSlideshowDuration())
        return true;
    const QVariantMap fit = project->syncMusicAndSlideshowDuration();
    if (fit.value(QStringLiteral("failType")).toString() == QLatin1String("Success")) {
        notifyRefreshTimelineUI({});
        return true;
    }
    return runPhotoMusicSyncForExport(fit) != 0;
}

ExportProgressWindowController* SlideshowMainObject::exportProgressWC() const {
    return exportWindow;
}

// Each export gets a new window, with the cancel flag cleared; it exists before the encode starts, so that
// an end that comes at once finds it.
ExportProgressWindowController& SlideshowMainObject::newExportProgressWindow(const QString& windowTitle) {
    if (exportWindow)
        exportWindow->deleteLater();
    exportWindow = new ExportProgressWindowController(ui.mainWindow);
    exportWindow->setTitle(windowTitle);
    exportWindow->setInfoText(tr_("Preparing..."));
    userDialogs.setExportProgressWindow(exportWindow);
    showCurrentSlideWhenExportEnds();
    return *exportWindow;
}

// An export stops the preview and a clip's player and draws with the player; however it ends (finished,
// failed or cancelled, its last step running later than the window's close), the preview then shows the
// current slide again, a clip in its player.
void SlideshowMainObject::showCurrentSlideWhenExportEnds() {
    exportEndWatch = clock->scheduleRepeating(kExportEndPoll, [this] {
        if (isExportRunning())
            return;
        exportEndWatch.cancel();
        if (const SlideItemRef slide = currentSlideItem())
            showCurrentItemPhoto(slide);
        else
            showWelcomeScreen();
    });
}

void SlideshowMainObject::notifyVideoInfoEditDone(const Notification&) {
    stop();
    // The DVD command starts its own encode: its set-up and the music fit came before.
    if (serviceName() == kBurnDVD || isExportRunning())
        return;
    if (!movieCommand) {
        userDialogs.exportDialogs().showAlertSheet(QStringLiteral("ERROR"),
                                                   tr_("There is no player to render the movie."), tr_("OK"));
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

// After the encoder's finish, for a movie or MP4 export of this controller's only: a DVD's passes never
// come here.
void SlideshowMainObject::notifyPCreateVideoFileEnd(const Notification&) {
    const bool movie = movieCommand && movieCommand->isEncoding();
    const bool mp4 = mp4Command && mp4Command->isEncoding();
    if (!movie && !mp4)
        return;
    const auto project = SlideshowProject::currentMainProject();
    const QString service = serviceName();
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    QString error;
    if (manager && manager->recordEncoding(size, SlideshowProject::strVideoOutputFormat().toLower()) &&
        !manager->saveToFile(&error))
        qWarning("Vistrelle: the record of the movie could not be saved: %s", qPrintable(error));
    stop();

    QString moved;
    QString moveError;
    if (service == kPhotoLibrary)
        moved = SlideshowProject::copyEncodedMovieFileForExport(&moveError);
    const QString source = project ? project->strEncodingVideoFilePath(size) : QString();
    if (movie)
        movieCommand->endEncoding();
    else
        SlideshowProject::restorePlaybackAfterExport();

    if (service == kPhotoLibrary)
        queuedShareResult =
            clock->scheduleOnce(0.0, [this, moved, moveError] { showMovieFileResult(moved, moveError); });
    else if (service != kBurnDVD) // the uploader takes the video site's; nothing takes the social site's yet
        queuedShareResult = clock->scheduleOnce(0.0, [this, source] { postContinueUpload(source); });
}

// Congratulates only on a moved movie that is there and not empty; otherwise the reason, the movie left
// where it was made.
void SlideshowMainObject::showMovieFileResult(const QString& moved, const QString& error) {
    const QFileInfo file(moved);
    if (moved.isEmpty() || !file.isFile() || file.size() == 0) {
        const QString reason =
            !error.isEmpty() ? error : tr_("The movie file %1 is missing or empty.").arg(moved);
        userDialogs.exportDialogs().showAlertSheet(QStringLiteral("ERROR"), reason, tr_("OK"));
        return;
    }
    if (userDialogs.runQuestionAlert(tr_("Congratulations! Movie file has been created successfully!"),
                                     tr_("You can copy to USB storage device and play on HDTV or upload to "
                                         "Internet."),
                                     tr_("Show Movie File in Folder"), tr_("Close")))
        userDialogs.revealFile(moved);
}

void SlideshowMainObject::postContinueUpload(const QString& sourcePath) {
    const QVariant window = QVariant::fromValue<QObject*>(exportWindow.data());
    post(kNotifyContinueUploadVideo, window,
         {{QStringLiteral("ExportProgressWindowController"), window},
          {QStringLiteral("SlideshowMainObject"), QVariant::fromValue<QObject*>(this)},
          {QStringLiteral("strSourceVideoFilePath"), sourcePath}});
}

// ---- the cancel

// The movie and MP4 branches; the DVD command and its author cancel their own, the uploader its upload.
void SlideshowMainObject::notifyCancelEncodingVideo(const Notification&) {
    if (movieCommand)
        movieCommand->cancelEncoding();
    if (mp4Command)
        mp4Command->cancelEncoding();
}

void SlideshowMainObject::connectShareActions() {
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
        onTrigger(item, command);
    if (ui.m_btnShare) // hidden, as the menu's Burn DVD: the share call-out offers the DVD
        connect(ui.m_btnShare, &QAbstractButton::clicked, this, [this] { shareChoice(3); });
}

void SlideshowMainObject::websiteMenuitemClicked() {
    userDialogs.openWebPage(QUrl(websiteAddress()));
}
