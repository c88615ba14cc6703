// Music and audio-layer commands: songs added to the project, their waveform strips along the timeline's time
// axis, the music options and photo-music sync call-outs, the photo-music sync window before an export, the
// audio and text layers, and the timeline's style and unit.
#include "ui/main/SlideshowMainObject.h"

#include "dvd/DVDCommandDialogs.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/SerialQueue.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/controls/WaveFormViewOSX.h"
#include "ui/editing/BKMusicOptionsController.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/PhotoMusicSyncForExportWindowController.h"
#include "ui/editing/PhotoMusicSyncViewController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/TimelineGeometry.h"

#include <QFileInfo>
#include <QUrl>

#include <cmath>
#include <utility>

using platform::Notification;

namespace {

constexpr double kStripHeight = 60.0;
// Past the slides, and wherever the slides give no position, a song strip takes 170 points per 6 s.
constexpr double kFallbackPointsPerSecond = 170.0 / 6.0;
// The music-list command opens the options at this point of the window, y up.
const QPointF kMusicListMouseLocation(1328, 122);
const QPointF kMusicListLocationInWindow(930, 45);
constexpr double kCallOutRaise = 10.0;

const QString kAddMusicTitle = QStringLiteral("Add Background Music");

bool isStockSong(const MusicItemRef& song) {
    return song && song->dictFileMediaItem().value(QStringLiteral("musicSource")).toString() ==
                       QLatin1String("bundleDefaultMusic");
}

double visibleX(TimelineScrollView* strip) {
    return strip ? strip->visibleRect().x() : 0.0;
}

} // namespace

// ---- adding songs

void SlideshowMainObject::buttonAddMusicClcked() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Songs, kAddMusicTitle);
    if (!paths.isEmpty())
        addMusicToProject(paths);
}

// The copies are made and measured off the main thread; the project changes on it, in one step.
void SlideshowMainObject::addMusicToProject(const QStringList& paths) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || paths.isEmpty())
        return;
    const QString contents = project->strMacProjectBundleContentsPath();
    if (!songQueue)
        songQueue = std::make_unique<platform::media::SerialQueue>(QStringLiteral("song import"));
    ++pendingSongImports;
    songQueue->post([this, paths, contents] {
        std::vector<QVariantMap> songs;
        QStringList failures;
        for (const QString& path : paths) {
            if (stopping)
                return;
            QString error;
            const QVariantMap song = MusicItem::songDictionaryForImport(path, contents, &error);
            if (song.isEmpty())
                failures << error;
            else
                songs.push_back(song);
        }
        gate.post([this, songs, failures] { finishAddingMusic(songs, failures); });
    });
}

// A new project's stock song gives way to the first songs added; its file stays where it is.
void SlideshowMainObject::finishAddingMusic(const std::vector<QVariantMap>& songs,
                                            const QStringList& failures) {
    --pendingSongImports;
    const auto project = SlideshowProject::currentMainProject();
    if (project && !songs.empty()) {
        const double scrollX = visibleX(ui.scrollView1);
        std::vector<MusicItemRef> list = project->musicArray();
        if (!list.empty() && isStockSong(list.front())) {
            list.erase(list.begin());
            project->setMusicArray(list);
            if (!musicViews.empty()) {
                dropMusicSubViews(1);
            }
        }
        for (const QVariantMap& dictionary : songs) {
            auto song = std::make_shared<MusicItem>();
            song->addEntriesFromDictionary(dictionary);
            project->addMusicItem(song);
            AddMusicItemSubView(song);
        }
        project->setBIsDirty(true);
        showChangedMusic(scrollX);
    }
    alertFilesNotAdded(tr_("The following songs can not be added to project:"), failures);
}

// One alert for all the files of one import that could not be added, each on a line of its own.
void SlideshowMainObject::alertFilesNotAdded(const QString& title, const QStringList& lines) {
    if (!lines.isEmpty())
        userDialogs.exportDialogs().showAlertSheet(title, lines.join('\n'), tr_("OK"));
}

// ---- the waveform strips

// Without a timeline there is nowhere to show a song.
void SlideshowMainObject::AddMusicItemSubView(const MusicItemRef& song) {
    if (!song || !ui.scrollContentView)
        return;
    auto* view =
        new WaveFormViewOSX(QRect(0, 0, 500, 30), ui.scrollContentView, clock); // the timeline owns it
    view->hide();                                                               // until it is laid out
    // The name of the file chosen, not of its time-stamped copy.
    const QString chosen =
        QFileInfo(song->dictFileMediaItem().value(QStringLiteral("filePath")).toString()).fileName();
    view->openAudioURL(QUrl::fromLocalFile(song->strFilePath()), chosen);
    musicViews.emplace_back(view);
    layoutScrollImages();
    layoutMusicSubViews();
}

// The first `count` views go.
void SlideshowMainObject::dropMusicSubViews(std::size_t count) {
    count = std::min(count, musicViews.size());
    for (std::size_t i = 0; i < count; ++i)
        if (QPointer<WaveFormViewOSX> view = musicViews[i]) {
            view->hide();
            view->deleteLater();
        }
    musicViews.erase(musicViews.begin(), musicViews.begin() + std::ptrdiff_t(count));
}

void SlideshowMainObject::rebuildMusicSubViews() {
    dropMusicSubViews(musicViews.size());
    if (const auto project = SlideshowProject::currentMainProject())
        for (const MusicItemRef& song : project->musicArray())
            AddMusicItemSubView(song);
}

// Songs follow each other from the start of the show; past its end, or where the slides give no place,
// each takes 170 points per 6 s.
std::vector<QRectF> SlideshowMainObject::musicStripFrames(std::size_t count) {
    std::vector<QRectF> frames;
    const auto project = SlideshowProject::currentMainProject();
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

void SlideshowMainObject::layoutMusicSubViews() {
    const auto project = SlideshowProject::currentMainProject();
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
        view->raise();
    }
    const double end = frames.empty() ? 0.0 : frames.back().right();
    if (ui.scrollContentView && end > ui.scrollContentView->width())
        ui.scrollContentView->setContentWidth(int(std::ceil(end)));
}

// On the cells, the slides' own places, past the show one default slide per 170 points; on a time scale,
// the scale. A default slide of no length gives no place (-1), and the caller's fallback applies.
float SlideshowMainObject::getTimelineXPositionFromFrame_Music(quint64 frame) {
    const auto project = SlideshowProject::currentMainProject();
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

void SlideshowMainObject::backgroundMusicListMenuItemClicked() {
    platform::NotificationCenter::defaultCenter().post(
        kNotifyMusicTimelineClicked, QVariant(),
        {{QStringLiteral("mouseLocation"), kMusicListMouseLocation},
         {QStringLiteral("locationInWindow"), kMusicListLocationInWindow}});
}

// The point comes in the window's y-up coordinates; the call-out stands above it, raised by 10.
void SlideshowMainObject::notifyMusicTimelineClicked(const Notification& notification) {
    stop();
    if (callOuts().takeClosedByFocus(CallOutKind::MusicOptions) || musicOptionsCallOut) {
        closeMusicOptionsCallOut();
        return;
    }
    const QPointF yUp = notification.userInfo.value(QStringLiteral("locationInWindow")).toPointF();
    const double windowHeight = ui.mainWindow ? ui.mainWindow->height() : 0.0;
    const QPointF point(yUp.x(), windowHeight - (yUp.y() + kCallOutRaise));
    auto* options = new BKMusicOptionsController; // the call-out takes it
    options->setMusicTLVC(musicTimeline.get());
    musicOptionsCallOut = openMusicCallOut(CallOutKind::MusicOptions, options, point,
                                           callOuts().sideAboveOnScreen(*options, point));
}

AWAttachedWindow* SlideshowMainObject::openMusicCallOut(CallOutKind kind, QWidget* view, QPointF point,
                                                        int side) {
    callOuts().setView(view);
    AWAttachedWindow* callOut = AWAttachedWindow::create(view, point, ui.mainWindow, side, 0.0f);
    connect(callOut, &AWAttachedWindow::didResignKey, this, [this, kind, opened = QPointer(callOut)] {
        const QPointer<AWAttachedWindow>& field =
            kind == CallOutKind::MusicOptions ? musicOptionsCallOut : photoMusicSyncCallOut;
        if (!opened || opened != field)
            return; // closed already: its hiding takes the focus away too
        callOuts().noteClosedByFocus(kind);
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

void SlideshowMainObject::closeMusicOptionsCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(musicOptionsCallOut, nullptr);
    if (!callOut)
        return;
    callOuts().forgetView(callOut->view());
    callOut->closeAndRelease();
}

// The options report whether the songs changed; the strips are made again once the call-out has gone.
void SlideshowMainObject::notifyMusicOptionsCloseClicked(const Notification& notification) {
    closeMusicOptionsCallOut();
    if (!notification.userInfo.value(QStringLiteral("bNeedLayoutMusicTimeLine")).toBool())
        return;
    queuedMusicRebuild = clock->scheduleOnce(0.0, [this] {
        const double scrollX = visibleX(ui.scrollView1);
        rebuildMusicSubViews();
        showChangedMusic(scrollX);
    });
}

void SlideshowMainObject::notifyMusicOptionsAddMusicClicked(const Notification& notification) {
    notifyMusicOptionsCloseClicked(notification);
    buttonAddMusicClcked();
}

// ---- photo-music sync

void SlideshowMainObject::syncPhotoMusicButtonClicked() {
    if (callOuts().takeClosedByFocus(CallOutKind::PhotoMusicSync) || photoMusicSyncCallOut) {
        closePhotoMusicSyncCallOut();
        return;
    }
    QPointF point;
    if (ui.syncPhotoMusicButton && ui.mainWindow)
        point =
            ui.syncPhotoMusicButton->mapTo(ui.mainWindow, QPoint(0, ui.syncPhotoMusicButton->height() / 2));
    auto* sync = new PhotoMusicSyncViewController(userDialogs); // the call-out takes it
    photoMusicSyncCallOut = openMusicCallOut(CallOutKind::PhotoMusicSync, sync, point, AWSideLeft);
}

void SlideshowMainObject::closePhotoMusicSyncCallOut() {
    const QPointer<AWAttachedWindow> callOut = std::exchange(photoMusicSyncCallOut, nullptr);
    if (!callOut)
        return;
    callOuts().forgetView(callOut->view());
    callOut->closeAndRelease();
}

void SlideshowMainObject::notifyMusicSyncButtonClicked(const Notification&) {
    closePhotoMusicSyncCallOut();
}

// The photos were fitted anew: the strips follow the slides.
void SlideshowMainObject::notifyRefreshTimelineUI(const Notification&) {
    const double scrollX = visibleX(ui.scrollView1);
    layoutScrollImages();
    showChangedMusic(scrollX);
}

// The strips and the project's information after the songs or the slides changed, the strip left where it
// was scrolled to.
void SlideshowMainObject::showChangedMusic(double scrollX) {
    musicTimeline->respondMusicArrayChanged();
    layoutMusicSubViews();
    updateProjectInfo();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
    if (ui.scrollView1)
        ui.scrollView1->scrollToX(scrollX);
}

// 0 abandons the export; after a sync in the window the timeline shows the new durations.
int SlideshowMainObject::runPhotoMusicSyncForExport(const QVariantMap&) {
    PhotoMusicSyncForExportWindowController window(userDialogs, ui.mainWindow);
    const int code = userDialogs.runModalWindow(window);
    window.hide();
    if (code != 0)
        notifyRefreshTimelineUI({});
    return code;
}

// ---- timeline style and unit

void SlideshowMainObject::ChangeTimelineMode() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    project->setNTimelineStyle(project->nTimelineStyle() == 1 ? 0 : 1);
    project->updateTimelineItemsPosition();
    layoutScrollImages();
    layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

void SlideshowMainObject::TimelineUnitChanged(int pixelsPerSecond) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || pixelsPerSecond <= 0)
        return;
    project->setNTimelinePixelPerSecond(pixelsPerSecond);
    project->updateTimelineItemsPosition();
    layoutScrollImages();
    layoutMusicSubViews();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

// ---- the music strip's play indicator

void SlideshowMainObject::stopRefreshPlayintIndicator() {
    musicTimeline->stopRefreshPlayintIndicator();
}
