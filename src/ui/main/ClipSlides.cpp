#include "ui/main/ClipSlides.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/StillPreview.h"

#include "dvd/DVDCommandDialogs.h"
#include "model/ContentsFolder.h"
#include "model/MusicDirector.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "render/BuiltInComposition.h"
#include "render/CompositionRegistry.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/ClipMediaPlayer.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/ResourceImage.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/editing/VideoPlaybackViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/FilesNotAddedAlert.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/PreviewHostSwap.h"
#include "ui/main/PreviewWidget.h"
#include "ui/main/SlideshowMainObject.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kClipStartDelay = 0.3;
constexpr double kCompositionTestSeconds = 200.0;
constexpr double kCompositionTestStep = 0.04;
const QString kAddVideoTitle = QStringLiteral("Add Video");
const QString kAddCompositionTitle = QStringLiteral("Add Composition");
const QString kClipComposition = QStringLiteral("clipComposition");
const QString kCompositionThumbnail = QStringLiteral("composition_thumb");

void alertNotAdded(ControllerDialogs& dialogs, const QStringList& lines) {
    alertFilesNotAdded(dialogs, tr_("The following clips can not be added to project:"), lines);
}

} // namespace

ClipSlides::ClipSlides(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                       std::shared_ptr<platform::Scheduler> scheduler, const MainWindowOutlets& ui,
                       ProjectSource project)
    : hub(hub), dialogs(dialogs), clock(std::move(scheduler)), ui(ui), currentProject(std::move(project)) {}

ClipSlides::~ClipSlides() {
    delays.clear();
    if (clipPlayer)
        clipPlayer->stopPlaying();
}

// ---- import

void ClipSlides::chooseAndAppendClips() {
    hub.stop();
    const QStringList paths = dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Clips, kAddVideoTitle);
    importClips(paths, -1);
}

// The files that are no clips are named and the others imported all the same.
void ClipSlides::importClips(const QStringList& paths, int index) {
    QStringList clips, refused;
    for (const QString& path : paths) {
        QString why;
        if (VideoSlideItem::isImportableClip(path, &why))
            clips << path;
        else
            refused << platform::errorSentence(why, QFileInfo(path).fileName());
    }
    alertNotAdded(dialogs, refused);
    const auto project = currentProject();
    const std::size_t count = project ? project->slideshowArray().size() : 0;
    const bool append = quint64(qint64(index)) >= count;
    for (int i = 0; i < clips.size(); ++i) {
        if (append)
            appendClip(clips[i]);
        else
            insertClip(clips[i], index + i);
    }
}

void ClipSlides::appendClip(const QString& path) {
    schedule({path, false, 0});
}

void ClipSlides::insertClip(const QString& path, int index) {
    schedule({path, true, qint64(index)});
}

void ClipSlides::schedule(Request request) {
    std::erase_if(delays, [](const platform::Scheduler::Handle& handle) { return !handle.isActive(); });
    delays.push_back(clock->scheduleOnce(kClipStartDelay, [this, request] {
        requests.push_back(request);
        runRequests();
    }));
}

// One copy at a time: a request that falls due while a copy window runs waits for it.
void ClipSlides::runRequests() {
    if (copying)
        return;
    copying = true;
    while (!requests.empty() && !stopping) {
        const Request request = requests.front();
        requests.pop_front();
        copyAndAdd(request);
    }
    copying = false;
}

bool ClipSlides::isIdle() const {
    return !copying && requests.empty() &&
           std::none_of(delays.begin(), delays.end(),
                        [](const platform::Scheduler::Handle& handle) { return handle.isActive(); });
}

// The copy's own result decides; a file that stopped being a clip since it was chosen is named in an
// alert before anything is copied.
void ClipSlides::copyAndAdd(const Request& request) {
    const auto project = currentProject();
    if (!project)
        return;
    QString why;
    if (!VideoSlideItem::isImportableClip(request.path, &why)) {
        alertNotAdded(dialogs, {platform::errorSentence(why, QFileInfo(request.path).fileName())});
        return;
    }
    const QString destination = project->createVideoFilePathInProjectFromSource(request.path);
    if (destination.isEmpty())
        return;
    {
        CopyFileProgressWindowController window(project, ui.mainWindow);
        window.setStrSrcFilePath(request.path);
        window.setStrDstFilePath(destination);
        dialogs.runModalWindow(window);
        window.waitForCopy();
        if (window.result().outcome != clip_file_copier::Outcome::Copied)
            return;
    }
    auto clip = platform::makeMainThreadShared<VideoSlideItem>();
    clip->PrepareVideoItem(destination);
    clip->LoadVideoThumbnail();
    if (request.insert)
        clip->setFSecTransitionDuration(project->fltTransitionDuration());
    if (const auto themes = project->themeManger())
        themes->setSlideItemFromCurrentTheme(*clip);
    const std::size_t count = project->slideCount();
    if (request.insert && request.insertIndex >= 0 && std::size_t(request.insertIndex) < count)
        project->insertSlideItem(std::size_t(request.insertIndex), clip);
    else
        project->addSlideItem(clip);
    finishAddingSlide(*project);
}

void ClipSlides::finishAddingSlide(SlideshowProject& project) {
    project.setBIsDirty(true);
    project.calcSlideItemsPhotoTransitionDuration();
    hub.layoutScrollImages();
    hub.layoutMusicSubViews();
    hub.updateProjectInfo();
}

// ---- the composition test commands

void ClipSlides::chooseCompositionSlide() {
    hub.stop();
    const QStringList paths =
        dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Compositions, kAddCompositionTitle);
    if (paths.isEmpty())
        return;
    const QString composition = compositionInProject(paths.first());
    const auto project = currentProject();
    if (composition.isEmpty() || !project)
        return;
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(composition, project->strMacProjectBundleContentsPath());
    appendCompositionSlide(slide);
}

// A project opened again reads only its own files and ours: a composition from elsewhere is copied in, as a
// clip or a song is. Empty, the reason told, when the copy fails.
QString ClipSlides::compositionInProject(const QString& chosen) {
    const auto project = currentProject();
    if (!project)
        return QString();
    const QString contents = project->strMacProjectBundleContentsPath();
    if (const QString own = ContentsFolder::projectOrResourceFile(chosen, contents); !own.isEmpty())
        return own;
    const QString name = QFileInfo(chosen).fileName();
    QString error;
    const QString copied = ContentsFolder::copyUnderFreeName(chosen, contents, name, &error);
    if (copied.isEmpty()) {
        alertFilesNotAdded(dialogs, tr_("The following compositions can not be added to project:"),
                           {platform::errorSentence(error, name)});
        return QString();
    }
    return contents + QLatin1Char('/') + copied;
}

void ClipSlides::chooseClipCompositionSlide() {
    hub.stop();
    const QStringList paths = dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Clips, kAddVideoTitle);
    if (paths.isEmpty())
        return;
    auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(
        platform::paths::pathForResource(kClipComposition, BuiltInComposition::kFileType));
    slide->setStrVideoFilePath(paths.first());
    slide->setBVideoItem(true); // before the opening, which sizes the slide by the clip
    appendCompositionSlide(slide);
}

// The slide shows the composition thumbnail, copied into the project as slides keep theirs; the cell made
// for it is kept but placed nowhere, since a cell over the drawn strip would take its clicks.
void ClipSlides::appendCompositionSlide(const std::shared_ptr<QuartzSlideItem>& slide) {
    const auto project = currentProject();
    if (!project)
        return;
    slide->openComposition(hub.mainContext());
    const QString thumbnail = platform::paths::pathForResource(kCompositionThumbnail, QStringLiteral("png"));
    const QString copied =
        ContentsFolder::copyUnderFreeName(thumbnail, project->strMacProjectBundleContentsPath(),
                                          ContentsFolder::timeStampedName("thumb_", "png"));
    if (!copied.isEmpty())
        slide->setStrThumbFileName(copied);
    if (const auto themes = project->themeManger())
        themes->setSlideItemFromCurrentTheme(*slide);
    auto* cell =
        new TimeLineCellViewController(currentProject, &hub); // the hub's: its view stays out of every window
    cell->setTimelineDraggingDest(ui.scrollView1);
    cell->awakeFromNib();
    cell->setSItem(slide);
    cell->photoThumbnailView()->setPixmap(QPixmap::fromImage(resourceImage(kCompositionThumbnail)));
    hub.keepTimelineCell(cell);
    project->addSlideItem(slide);
    finishAddingSlide(*project);
}

// Each frame is handed to the preview and painted before the next: the loop keeps the main thread, as the
// command is meant to, and leaves no frame waiting in the queue.
void ClipSlides::renderTestComposition() {
    hub.stop();
    NSGLView* view = hub.opengGLView();
    if (!view)
        return;
    QString why;
    const auto composition = CompositionRegistry::load(
        platform::paths::pathForResource(QStringLiteral("myTest"), BuiltInComposition::kFileType), &why);
    if (!composition) {
        qWarning("Vistrelle: the test composition does not load: %s", qPrintable(why));
        return;
    }
    const int frames = int(std::lround(kCompositionTestSeconds / kCompositionTestStep));
    for (int frame = 0; frame <= frames; ++frame) {
        const double seconds = frame * kCompositionTestStep;
        composition->setValueForInputKey(QStringLiteral("percentDone"), seconds / kCompositionTestSeconds);
        bool drawn = false;
        view->drawStill([&](const SharedShaderPrograms&) { drawn = composition->renderAtTime(seconds); });
        if (!drawn)
            break;
        if (PreviewWidget* preview = hub.previewWidget()) {
            QCoreApplication::sendPostedEvents(preview, QEvent::MetaCall);
            preview->repaint();
        }
    }
}

// ---- the clip's player in place of the preview

VideoPlaybackViewController* ClipSlides::player() const {
    return clipPlayer;
}

void ClipSlides::setPlayerFactory(std::function<std::unique_ptr<ClipMediaPlayer>()> factory) {
    playerFactory = std::move(factory);
}

void ClipSlides::showPlayer(const SlideItemRef& slide) {
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
    if (clipPlayer || !clip || !ui.previewHost)
        return;
    clipPlayer = new VideoPlaybackViewController(
        clock, playerFactory ? playerFactory : &ClipMediaPlayer::makeDefault); // the host takes it
    clipPlayer->loadVideoFromURL(clip->strVideoFilePath(), clip);
    preview_host::showVideoPlaybackView(*ui.previewHost, hub.previewWidget(), clipPlayer);
    clipPlayer->setToobarView(ui.toolbarView);
}

// The preview keeps the clip the strip marks, as a still, rather than the picture it drew before the clip.
void ClipSlides::stopPlayer() {
    std::shared_ptr<VideoSlideItem> shown;
    if (clipPlayer) {
        shown = clipPlayer->videoSlideItem();
        clipPlayer->stopPlaying();
        clipPlayer->hide();
        clipPlayer->deleteLater();
        clipPlayer = nullptr;
    }
    if (ui.previewHost)
        preview_host::showOpenGLView(*ui.previewHost, hub.previewWidget());
    if (shown)
        hub.stillPreview().showStillOf(*shown);
}

QWidget* ClipSlides::makeInspector(const SlideItemRef& slide) const {
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
    return clip ? new VideoItemPropertyViewController(clip, currentProject)
                : nullptr; // the call-out takes it
}

// ---- the position slider

// Plays from frame f as Play does: the music starts at f / 30 s exactly, and the button reads Stop. Refused
// while an export plays, as Play is: the player is the export's, and nothing would play.
void ClipSlides::playFromFrame(int frame) {
    const auto project = currentProject();
    if (hub.playbackController().exportOwnsPlayer())
        return;
    hub.stop();
    const auto director = hub.director();
    if (!project || !director || frame < 0)
        return;
    project->setNCurrentStatus(1);
    hub.stillPreview().cancelMotion();
    director->setSlideshowArrayFromFrame(project->slideshowArray(), quint64(frame));
    director->setDirectorStatus(1);
    hub.musicDirector().playFromLocation(double(frame) / double(SlideshowProject::ulFrameRate()));
    hub.playbackController().markPlaying();
    if (ui.stopButton)
        ui.stopButton->setEnabled(true);
    if (ui.playButton)
        ui.playButton->setEnabled(false);
    hub.showTimelineIndicator();
}
