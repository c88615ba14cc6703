#include "ui/main/MusicController.h"

#include "dvd/DVDCommandDialogs.h"
#include "model/MusicDirector.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/SerialQueue.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/editing/BKMusicOptionsController.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/PhotoMusicSyncForExportWindowController.h"
#include "ui/editing/PhotoMusicSyncViewController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/FilesNotAddedAlert.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/TimelineGeometry.h"

#include <QEvent>
#include <QFileInfo>
#include <QUrl>

#include <cmath>
#include <utility>

using platform::Notification;
using platform::media::MediaTime;

namespace {

constexpr double kStripHeight = 60.0;
// Past the slides, and wherever the slides give no position, a song strip takes 170 points per 6 s.
constexpr double kFallbackPointsPerSecond = 170.0 / 6.0;
// The music-list command opens the options at this point of the window, y up.
const QPointF kMusicListMouseLocation(1328, 122);
const QPointF kMusicListLocationInWindow(930, 45);
constexpr double kCallOutRaise = 10.0;
constexpr float kTestSongVolume = 0.8f;
constexpr double kTestSongStart = 12.0;

const QString kAddMusicTitle = QStringLiteral("Add Background Music");

bool isStockSong(const MusicItemRef& song) {
    return song && song->dictFileMediaItem().value(QStringLiteral("musicSource")).toString() ==
                       QLatin1String("bundleDefaultMusic");
}

double visibleX(TimelineScrollView* strip) {
    return strip ? strip->visibleRect().x() : 0.0;
}

} // namespace

MusicController::MusicController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                                 std::shared_ptr<platform::Scheduler> scheduler,
                                 const MainWindowOutlets& outlets, ProjectSource project)
    : hub(hub), userDialogs(dialogs), clock(std::move(scheduler)), ui(outlets),
      currentProject(std::move(project)), music(std::make_unique<MusicDirector>()),
      musicTimeline(std::make_unique<MusicTimelineViewController>(currentProject)) {}

MusicController::~MusicController() = default;

void MusicController::stopSongImports() {
    stopping = true;
    gate.close();
}

// ---- adding songs

void MusicController::buttonAddMusicClcked() {
    hub.stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Songs, kAddMusicTitle);
    if (!paths.isEmpty())
        hub.addMusicToProject(paths);
}

// The copies are made and measured off the main thread; the project changes on it, in one step.
void MusicController::addMusicToProject(const QStringList& paths) {
    importSongs(paths, &MusicController::finishAddingMusic);
}

void MusicController::addMusicToProject_old(const QStringList& paths) {
    importSongs(paths, &MusicController::finishAddingMusic_old);
}

void MusicController::importSongs(const QStringList& paths, SongsFinish finish) {
    const auto project = currentProject();
    if (!project || paths.isEmpty())
        return;
    const QString contents = project->strMacProjectBundleContentsPath();
    if (!songQueue)
        songQueue = std::make_unique<platform::media::SerialQueue>(QStringLiteral("song import"));
    ++pendingSongImports;
    songQueue->post([this, paths, contents, finish] {
        std::vector<QVariantMap> songs;
        QStringList failures;
        for (const QString& path : paths) {
            if (stopping)
                return;
            QString error;
            const QVariantMap song = MusicItem::songDictionaryForImport(path, contents, &error);
            if (song.isEmpty())
                failures << platform::errorSentence(error, QFileInfo(path).fileName());
            else
                songs.push_back(song);
        }
        gate.post([this, songs, failures, finish] {
            --pendingSongImports;
            (this->*finish)(songs);
            alertFilesNotAdded(userDialogs, tr_("The following songs can not be added to project:"),
                               failures);
        });
    });
}

MusicItemRef MusicController::removeStockSong(SlideshowProject& project) {
    std::vector<MusicItemRef> list = project.musicArray();
    if (list.empty() || !isStockSong(list.front()))
        return nullptr;
    const MusicItemRef stock = list.front();
    list.erase(list.begin());
    project.setMusicArray(list);
    return stock;
}

// The stock song plays from our resource; the copy a new project keeps of it is named by nothing once the
// song has gone, and nothing else would ever remove it.
void MusicController::removeStockSongCopy(const SlideshowProject& project, const MusicItemRef& stock) {
    if (stock)
        project.removeCopyNamedByNothing(stock->strCopyPathIn(project.strMacProjectBundleContentsPath()));
}

// A new project's stock song gives way to the first songs added, its strip with it.
void MusicController::finishAddingMusic(const std::vector<QVariantMap>& songs) {
    const auto project = currentProject();
    if (!project || songs.empty())
        return;
    const double scrollX = visibleX(ui.scrollView1);
    const MusicItemRef stock = removeStockSong(*project);
    if (stock && !musicViews.empty())
        dropMusicSubViews(1);
    for (const QVariantMap& dictionary : songs) {
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary(dictionary);
        project->addMusicItem(song);
        AddMusicItemSubView(song);
    }
    removeStockSongCopy(*project, stock);
    project->setBIsDirty(true);
    showChangedMusic(scrollX);
}

void MusicController::finishAddingMusic_old(const std::vector<QVariantMap>& songs) {
    const auto project = currentProject();
    if (!project || songs.empty())
        return;
    const MusicItemRef stock = removeStockSong(*project);
    for (const QVariantMap& dictionary : songs) {
        auto song = platform::makeMainThreadShared<MusicItem>();
        song->addEntriesFromDictionary(dictionary);
        project->addMusicItem(song);
    }
    removeStockSongCopy(*project, stock);
    project->setBIsDirty(true);
    musicTimeline->respondMusicArrayChanged();
}

// ---- the waveform strips

// Without a timeline there is nowhere to show a song.
void MusicController::AddMusicItemSubView(const MusicItemRef& song) {
    if (!song || !ui.scrollContentView)
        return;
    auto* view =
        new WaveFormViewOSX(QRect(0, 0, 500, 30), ui.scrollContentView, clock); // the timeline owns it
    view->hide();                                                               // until it is laid out
    // The name of the file chosen, not of its time-stamped copy.
    const QString chosen =
        QFileInfo(song->dictFileMediaItem().value(QStringLiteral("filePath")).toString()).fileName();
    const auto project = currentProject();
    const QString contents = project ? project->strMacProjectBundleContentsPath() : QString();
    view->openAudioURL(QUrl::fromLocalFile(song->strFilePathIn(contents)), chosen);
    musicViews.emplace_back(view);
    hub.layoutScrollImages();
    layoutMusicSubViews();
}

// The first `count` views go.
void MusicController::dropMusicSubViews(std::size_t count) {
    count = std::min(count, musicViews.size());
    for (std::size_t i = 0; i < count; ++i)
        if (QPointer<WaveFormViewOSX> view = musicViews[i]) {
            view->hide();
            view->deleteLater();
        }
    musicViews.erase(musicViews.begin(), musicViews.begin() + std::ptrdiff_t(count));
}

void MusicController::rebuildMusicSubViews() {
    dropMusicSubViews(musicViews.size());
    if (const auto project = currentProject())
        for (const MusicItemRef& song : project->musicArray())
            AddMusicItemSubView(song);
}

// Songs follow each other from the start of the show; past its end, or where the slides give no place,
// each takes 170 points per 6 s.
std::vector<QRectF> MusicController::musicStripFrames(std::size_t count) {
    std::vector<QRectF> frames;
    const auto project = currentProject();
    if (!project)
        return frames;
    const double rate = double(SlideshowProject::ulFrameRate());
    const std::vector<MusicItemRef> songs = project->musicArray();
    double start = 0.0, x = 0.0;
    for (std::size_t i = 0; i < songs.size() && i < count; ++i) {
        const double duration = songs[i]->duration();
        const double end = start + duration;
        double xEnd = getTimelineXPositionFromFrame_Music(quint64(rate * end));
        if (xEnd < 0.0)
            xEnd = duration * kFallbackPointsPerSecond + x;
        frames.emplace_back(x, 0.0, xEnd - x, kStripHeight);
        start = end;
        x = xEnd;
    }
    return frames;
}

void MusicController::layoutMusicSubViews() {
    const auto project = currentProject();
    if (!project || project->slideCount() == 0) {
        for (const QPointer<WaveFormViewOSX>& view : musicViews)
            if (view)
                view->hide();
        return;
    }
    const std::vector<QRectF> frames = musicStripFrames(musicViews.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        WaveFormViewOSX* view = musicViews[i];
        if (!view)
            continue;
        view->setGeometry(TimelineContentView::toWidget(frames[i]).toRect());
        view->show();
        if (ui.scrollContentView)
            ui.scrollContentView->stackUnderLayerItems(view);
    }
    const double end = frames.empty() ? 0.0 : frames.back().right();
    if (ui.scrollContentView && end > ui.scrollContentView->width())
        ui.scrollContentView->setContentWidth(int(std::ceil(end)));
}

// On the cells, the slides' own places, past the show one default slide per 170 points; on a time scale,
// the scale. A default slide of no length gives no place (-1), and the caller's fallback applies.
float MusicController::getTimelineXPositionFromFrame_Music(quint64 frame) {
    const auto project = currentProject();
    if (!project)
        return -1.0f;
    const unsigned long rate = SlideshowProject::ulFrameRate();
    if (project->nTimelineStyle() == 1)
        return timeline_geometry::rulerPlayHeadX(frame, rate, project->nTimelinePixelPerSecond());
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    const quint64 total = quint64(double(rate) * project->slideshowTotalDuration());
    const double cell = timeline_geometry::kCellWidth;
    if (frame >= total) {
        const int pitch = project->nPhotoDurationFrameCount() + project->nTransitionDurationFrameCount();
        if (pitch <= 0)
            return -1.0f;
        return float(double(frame - total) / double(pitch) * cell +
                     (double(slides.size()) * cell - timeline_geometry::kTransitionWidth));
    }
    const SlideFramePosition at = SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame, slides);
    if (at.inFadeIn)
        return -1.0f;
    const double x = cell * double(at.slideIndex);
    if (at.inPhoto)
        return float(x + (at.photoFrames ? double(at.frameFromPhotoStart) / double(at.photoFrames) : 0.0) *
                             timeline_geometry::kPhotoWidth);
    if (at.slideIndex + 1 >= slides.size() || at.transitionFrames == 0)
        return float(x + timeline_geometry::kPhotoWidth);
    return float(x + timeline_geometry::kPhotoWidth +
                 double(at.frameInTransition) / double(at.transitionFrames) *
                     timeline_geometry::kTransitionWidth);
}

// ---- the music options

void MusicController::backgroundMusicListMenuItemClicked() {
    platform::NotificationCenter::defaultCenter().post(
        kNotifyMusicTimelineClicked, QVariant(),
        {{QStringLiteral("mouseLocation"), kMusicListMouseLocation},
         {QStringLiteral("locationInWindow"), kMusicListLocationInWindow}});
}

// The point comes in the window's y-up coordinates; the call-out stands above it, raised by 10.
void MusicController::notifyMusicTimelineClicked(const Notification& notification) {
    hub.stop();
    if (hub.callOuts().takeClosedByFocus(CallOutKind::MusicOptions) || musicOptionsCallOut) {
        closeMusicOptionsCallOut();
        return;
    }
    const QPointF yUp = notification.userInfo.value(QStringLiteral("locationInWindow")).toPointF();
    const double windowHeight = ui.mainWindow ? ui.mainWindow->height() : 0.0;
    const QPointF point(yUp.x(), windowHeight - (yUp.y() + kCallOutRaise));
    auto* options = new BKMusicOptionsController(currentProject); // the call-out takes it
    options->setMusicTLVC(musicTimeline.get());
    options->setRelayStrip([this] { relayMusicStrips(); });
    musicOptionsCallOut = openMusicCallOut(CallOutKind::MusicOptions, options, point,
                                           hub.callOuts().sideAboveOnScreen(*options, point));
}

AWAttachedWindow* MusicController::openMusicCallOut(CallOutKind kind, QWidget* view, QPointF point,
                                                    int side) {
    hub.callOuts().setView(view);
    AWAttachedWindow* callOut = AWAttachedWindow::create(view, point, ui.mainWindow, side, 0.0f);
    connect(callOut, &AWAttachedWindow::didResignKey, this, [this, kind, opened = QPointer(callOut)] {
        const QPointer<AWAttachedWindow>& field =
            kind == CallOutKind::MusicOptions ? musicOptionsCallOut : photoMusicSyncCallOut;
        if (!opened || opened != field)
            return; // closed already: its hiding takes the focus away too
        hub.callOuts().noteClosedByFocus(kind);
        if (kind == CallOutKind::MusicOptions)
            closeMusicOptionsCallOut();
        else
            closePhotoMusicSyncCallOut();
    });
    connect(callOut, &AWAttachedWindow::escapePressed, this, [this, kind] {
        if (kind == CallOutKind::MusicOptions)
            closeMusicOptionsCallOut();
        else
            closePhotoMusicSyncCallOut();
    });
    callOut->show();
    callOut->raise();
    callOut->activateWindow();
    return callOut;
}

void MusicController::closeMusicOptionsCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(musicOptionsCallOut, nullptr);
    if (!callOut)
        return;
    hub.callOuts().forgetView(callOut->view());
    callOut->closeAndRelease();
}

// The options report whether the songs changed; the strips are made again once the call-out has gone.
void MusicController::notifyMusicOptionsCloseClicked(const Notification& notification) {
    closeMusicOptionsCallOut();
    if (!notification.userInfo.value(QStringLiteral("bNeedLayoutMusicTimeLine")).toBool())
        return;
    queuedMusicRebuild = clock->scheduleOnce(0.0, [this] { relayMusicStrips(); });
}

void MusicController::notifyMusicOptionsAddMusicClicked(const Notification& notification) {
    notifyMusicOptionsCloseClicked(notification);
    buttonAddMusicClcked();
}

// ---- the music-list popover

void MusicController::setPopOverMusicList(QWidget* popover) {
    if (musicListPopover)
        musicListPopover->removeEventFilter(this);
    musicListPopover = popover;
    if (popover)
        popover->installEventFilter(this);
}

void MusicController::popoverDidClose() {
    setPopOverMusicList(nullptr);
}

bool MusicController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == musicListPopover && event->type() == QEvent::Hide)
        popoverDidClose();
    return QObject::eventFilter(watched, event);
}

// ---- photo-music sync

void MusicController::syncPhotoMusicButtonClicked() {
    if (hub.callOuts().takeClosedByFocus(CallOutKind::PhotoMusicSync) || photoMusicSyncCallOut) {
        closePhotoMusicSyncCallOut();
        return;
    }
    QPointF point;
    QPointF above;
    if (QAbstractButton* button = ui.syncPhotoMusicButton; button && ui.mainWindow) {
        point = button->mapTo(ui.mainWindow, QPoint(0, button->height() / 2));
        above = button->mapTo(ui.mainWindow, QPoint(button->width() / 2, 0));
    }
    auto* sync = new PhotoMusicSyncViewController(userDialogs, currentProject); // the call-out takes it
    // Left of the button, where it fits; else above it (the button lies near the window's left edge).
    int side = AWSideLeft;
    if (!hub.callOuts().fitsAcross(*sync, point, AWSideLeft)) {
        point = above;
        side = hub.callOuts().sideAboveOnScreen(*sync, point);
    }
    photoMusicSyncCallOut = openMusicCallOut(CallOutKind::PhotoMusicSync, sync, point, side);
}

void MusicController::closePhotoMusicSyncCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(photoMusicSyncCallOut, nullptr);
    if (!callOut)
        return;
    hub.callOuts().forgetView(callOut->view());
    callOut->closeAndRelease();
}

void MusicController::notifyMusicSyncButtonClicked(const Notification&) {
    closePhotoMusicSyncCallOut();
}

// The photos were fitted anew: the strips follow the slides.
void MusicController::notifyRefreshTimelineUI(const Notification&) {
    const double scrollX = visibleX(ui.scrollView1);
    hub.layoutScrollImages();
    showChangedMusic(scrollX);
}

// The strips and the project's information after the songs or the slides changed, the strip left where it
// was scrolled to.
void MusicController::showChangedMusic(double scrollX) {
    musicTimeline->respondMusicArrayChanged();
    layoutMusicSubViews();
    hub.updateProjectInfo();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
    if (ui.scrollView1)
        ui.scrollView1->scrollToX(scrollX);
}

void MusicController::relayMusicStrips() {
    const double scrollX = visibleX(ui.scrollView1);
    rebuildMusicSubViews();
    showChangedMusic(scrollX);
}

// 0 abandons the export; after a sync in the window the timeline shows the new durations.
int MusicController::runPhotoMusicSyncForExport(const QVariantMap&) {
    PhotoMusicSyncForExportWindowController window(userDialogs, currentProject, ui.mainWindow);
    const int code = userDialogs.runModalWindow(window);
    window.hide();
    if (code != 0)
        notifyRefreshTimelineUI({});
    return code;
}

// ---- timeline style and unit

void MusicController::ChangeTimelineMode() {
    const auto project = currentProject();
    if (!project)
        return;
    project->setNTimelineStyle(project->nTimelineStyle() == 1 ? 0 : 1);
    project->updateTimelineItemsPosition();
    hub.layoutScrollImages();
    layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

void MusicController::TimelineUnitChanged(int pixelsPerSecond) {
    const auto project = currentProject();
    if (!project || pixelsPerSecond <= 0)
        return;
    project->setNTimelinePixelPerSecond(pixelsPerSecond);
    project->updateTimelineItemsPosition();
    hub.layoutScrollImages();
    layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

// ---- the music strip's play indicator

void MusicController::stopRefreshPlayintIndicator() {
    musicTimeline->stopRefreshPlayintIndicator();
}

// ---- the song test command

// The stock song at 0.8 from 12 s on, once.
void MusicController::playSongTest() {
    testSongPlayer.reset();
    const auto song = platform::media::MediaAsset::open(
        platform::paths::pathForResource(QStringLiteral("default"), QStringLiteral("mp3")), false);
    if (!song.isValid() || !song.hasAudio())
        return;
    platform::media::Composition composition;
    auto& track = composition.addTrack();
    if (!track.insertTimeRange(song.audioTimeRange(), song, MediaTime::zero()))
        return;
    platform::media::MixInputParameters level(track.trackID());
    level.setVolume(kTestSongVolume, MediaTime::zero());
    testSongPlayer = std::make_unique<platform::media::AudioPlayer>(std::move(composition),
                                                                    platform::media::AudioMix({level}));
    platform::media::AudioPlayer* player = testSongPlayer.get();
    player->setEndHandler([this, player] {
        QMetaObject::invokeMethod(
            this,
            [this, player] {
                if (testSongPlayer.get() == player)
                    player->pause();
            },
            Qt::QueuedConnection);
    });
    player->seek(MediaTime::fromSeconds(kTestSongStart));
    player->play();
}

// ---- wiring

// Each to the hub's command, as a subclass of the hub sees it; a control the window lacks is skipped.
void MusicController::connectActions() {
    const auto onClick = [this](QAbstractButton* button, void (SlideshowMainObject::*action)()) {
        if (button)
            connect(button, &QAbstractButton::clicked, &hub, action);
    };
    const auto onTrigger = [this](QAction* item, void (SlideshowMainObject::*action)()) {
        if (item)
            connect(item, &QAction::triggered, &hub, action);
    };
    onClick(ui.addMusicButton, &SlideshowMainObject::buttonAddMusicClcked);
    onClick(ui.syncPhotoMusicButton, &SlideshowMainObject::syncPhotoMusicButtonClicked);
    onTrigger(ui.addMusicMenuItem, &SlideshowMainObject::buttonAddMusicClcked);
    onTrigger(ui.backgroundMusicListMenuItem, &SlideshowMainObject::backgroundMusicListMenuItemClicked);
    onTrigger(ui.syncPhotoMusicMenuItem, &SlideshowMainObject::syncPhotoMusicButtonClicked);
    onTrigger(ui.timelineModeMenuItem, &SlideshowMainObject::ChangeTimelineMode);
    onTrigger(ui.testAudioLayerMenuItem, &SlideshowMainObject::TestAudioLayer);
    onTrigger(ui.testTextLayerMenuItem, &SlideshowMainObject::TestTextLayer);
    onTrigger(ui.playSongTestMenuItem, &SlideshowMainObject::playSongTest);
    if (ui.timelineUnitMenu)
        for (QAction* unit : ui.timelineUnitMenu->actions())
            connect(unit, &QAction::triggered, this,
                    [this, unit] { TimelineUnitChanged(unit->data().toInt()); });
}
