// Video clips: the Add Video command and clip drops, copied one after another into the project under their
// copy windows and added as clip slides; the clip's own player in place of the preview; playing from the
// position slider; the composition test commands.
#include "ui/main/SlideshowMainObject.h"

#include "model/ContentsFolder.h"
#include "model/MusicDirector.h"
#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "render/BuiltInComposition.h"
#include "render/CompositionRegistry.h"
#include "render/NSGLView.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/ResourceImage.h"
#include "ui/editing/TimeLineCellViewController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/editing/VideoPlaybackViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/PlaybackController.h"
#include "ui/main/MusicController.h"
#include "ui/main/PreviewHostSwap.h"
#include "ui/main/StillPreview.h"

#include <QCoreApplication>

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

} // namespace

// ---- import

// Every clip chosen is appended, as a drop past the end would append it.
void SlideshowMainObject::AddVideoItem_1() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Clips, kAddVideoTitle);
    importClips(paths, -1);
}

void SlideshowMainObject::addVideoToProject(const QStringList& paths, int index) {
    importClips(paths, index);
}

// A slot at or past the end, or negative, appends; otherwise the clips keep their order from the slot on.
// Files that are no clips are named together in one alert and the others are imported all the same.
void SlideshowMainObject::importClips(const QStringList& paths, int index) {
    QStringList clips, refused;
    for (const QString& path : paths) {
        QString why;
        if (VideoSlideItem::isImportableClip(path, &why))
            clips << path;
        else
            refused << why;
    }
    MusicController::alertFilesNotAdded(userDialogs, tr_("The following clips can not be added to project:"),
                                        refused);
    const bool append = quint64(qint64(index)) >= slideshowArray().size();
    for (int i = 0; i < clips.size(); ++i) {
        if (append)
            AddVideoFromPath(clips[i]);
        else
            InsertVideoFromPath(clips[i], index + i);
    }
}

void SlideshowMainObject::AddVideoFromPath(const QString& path) {
    scheduleClipRequest({path, false, 0});
}

void SlideshowMainObject::InsertVideoFromPath(const QString& path, int index) {
    scheduleClipRequest({path, true, qint64(index)});
}

void SlideshowMainObject::scheduleClipRequest(ClipRequest request) {
    std::erase_if(clipDelays, [](const platform::Scheduler::Handle& handle) { return !handle.isActive(); });
    clipDelays.push_back(clock->scheduleOnce(kClipStartDelay, [this, request] {
        clipRequests.push_back(request);
        runClipRequests();
    }));
}

// One copy at a time: a request that falls due while a copy window runs waits for it.
void SlideshowMainObject::runClipRequests() {
    if (copyingClip)
        return;
    copyingClip = true;
    while (!clipRequests.empty() && !stopping) {
        const ClipRequest request = clipRequests.front();
        clipRequests.pop_front();
        copyAndAddClip(request);
    }
    copyingClip = false;
}

bool SlideshowMainObject::isClipImportIdle() const {
    return !copyingClip && clipRequests.empty() &&
           std::none_of(clipDelays.begin(), clipDelays.end(),
                        [](const platform::Scheduler::Handle& handle) { return handle.isActive(); });
}

// The copy's own result decides; a file that stopped being a clip since it was chosen is named in an
// alert before anything is copied.
void SlideshowMainObject::copyAndAddClip(const ClipRequest& request) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    QString why;
    if (!VideoSlideItem::isImportableClip(request.path, &why)) {
        MusicController::alertFilesNotAdded(userDialogs,
                                            tr_("The following clips can not be added to project:"), {why});
        return;
    }
    const QString destination = project->createVideoFilePathInProjectFromSource(request.path);
    if (destination.isEmpty())
        return;
    {
        CopyFileProgressWindowController window(ui.mainWindow);
        window.setStrSrcFilePath(request.path);
        window.setStrDstFilePath(destination);
        userDialogs.runModalWindow(window);
        window.waitForCopy();
        if (window.result().outcome != clip_file_copier::Outcome::Copied)
            return;
    }
    auto clip = std::make_shared<VideoSlideItem>();
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

void SlideshowMainObject::finishAddingSlide(SlideshowProject& project) {
    project.setBIsDirty(true);
    project.calcSlideItemsPhotoTransitionDuration();
    layoutScrollImages();
    layoutMusicSubViews();
    updateProjectInfo();
}

// ---- the composition test commands

void SlideshowMainObject::AddQuartzItemTest_3() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Compositions, kAddCompositionTitle);
    if (paths.isEmpty())
        return;
    auto slide = std::make_shared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(paths.first());
    appendCompositionSlide(slide);
}

void SlideshowMainObject::AddVideoItem() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Clips, kAddVideoTitle);
    if (paths.isEmpty())
        return;
    auto slide = std::make_shared<QuartzSlideItem>();
    slide->setStrQuartzFilePath(
        platform::paths::pathForResource(kClipComposition, BuiltInComposition::kFileType));
    slide->setStrVideoFilePath(paths.first());
    slide->setBVideoItem(true); // before the opening, which sizes the slide by the clip
    appendCompositionSlide(slide);
}

// The slide shows the composition thumbnail, copied into the project as slides keep theirs; the cell made
// for it is kept but placed nowhere, since a cell over the drawn strip would take its clicks.
void SlideshowMainObject::appendCompositionSlide(const std::shared_ptr<QuartzSlideItem>& slide) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    slide->openComposition(slideshowDirector ? slideshowDirector->mainContext() : nullptr);
    const QString thumbnail = platform::paths::pathForResource(kCompositionThumbnail, QStringLiteral("png"));
    const QString copied =
        ContentsFolder::copyUnderFreeName(thumbnail, project->strMacProjectBundleContentsPath(),
                                          ContentsFolder::timeStampedName("thumb_", "png"));
    if (!copied.isEmpty())
        slide->setStrThumbFileName(copied);
    if (const auto themes = project->themeManger())
        themes->setSlideItemFromCurrentTheme(*slide);
    auto* cell = new TimeLineCellViewController(this); // ours: its view stays out of every window
    cell->setTimelineDraggingDest(ui.scrollView1);
    cell->awakeFromNib();
    cell->setSItem(slide);
    cell->photoThumbnailView()->setPixmap(QPixmap::fromImage(resourceImage(kCompositionThumbnail)));
    timelineCells.emplace_back(cell);
    project->addSlideItem(slide);
    finishAddingSlide(*project);
}

// Each frame is handed to the preview and painted before the next: the loop keeps the main thread, as the
// command is meant to, and leaves no frame waiting in the queue.
void SlideshowMainObject::AddQuartzItemTest() {
    stop();
    if (!glView)
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
        glView->drawStill([&](const SharedShaderPrograms&) { drawn = composition->renderAtTime(seconds); });
        if (!drawn)
            break;
        if (preview) {
            QCoreApplication::sendPostedEvents(preview, QEvent::MetaCall);
            preview->repaint();
        }
    }
}

// ---- the clip's player in place of the preview

VideoPlaybackViewController* SlideshowMainObject::videoPlaybackCtrl() const {
    return clipPlayer;
}

void SlideshowMainObject::setClipPlayerFactory(std::function<std::unique_ptr<ClipMediaPlayer>()> factory) {
    clipPlayerFactory = std::move(factory);
}

void SlideshowMainObject::showVideoPlaybackView(const SlideItemRef& slide) {
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
    if (clipPlayer || !clip || !ui.previewHost)
        return;
    clipPlayer = new VideoPlaybackViewController(
        clock, clipPlayerFactory ? clipPlayerFactory : &ClipMediaPlayer::makeDefault); // the host takes it
    clipPlayer->loadVideoFromURL(clip->strVideoFilePath(), clip);
    preview_host::showVideoPlaybackView(*ui.previewHost, preview, clipPlayer);
    clipPlayer->setToobarView(ui.toolbarView);
}

void SlideshowMainObject::stopVideoPreview() {
    if (clipPlayer) {
        clipPlayer->stopPlaying();
        clipPlayer->hide();
        clipPlayer->deleteLater();
        clipPlayer = nullptr;
    }
    if (ui.previewHost)
        preview_host::showOpenGLView(*ui.previewHost, preview);
}

QWidget* SlideshowMainObject::makeVideoItemPropertyView(const SlideItemRef& slide) {
    const auto clip = std::dynamic_pointer_cast<VideoSlideItem>(slide);
    return clip ? new VideoItemPropertyViewController(clip) : nullptr; // the call-out takes it
}

// ---- the position slider

// Plays from frame f as Play does: the music starts at f / 30 s exactly, and the button reads Stop.
void SlideshowMainObject::PositionSlideChanged(int frame) {
    const auto project = SlideshowProject::currentMainProject();
    stop();
    if (!project || !slideshowDirector || frame < 0)
        return;
    project->setNCurrentStatus(1);
    if (project->nHeightOpenGLView() > 0)
        gRenderAspectRatio = float(project->nWidthOpenGLView()) / float(project->nHeightOpenGLView());
    stillPreview().cancelMotion();
    slideshowDirector->setSlideshowArrayFromFrame(project->slideshowArray(), quint64(frame));
    slideshowDirector->setDirectorStatus(1);
    musicDirector().playFromLocation(double(frame) / double(SlideshowProject::ulFrameRate()));
    playbackController().markPlaying();
    if (ui.stopButton)
        ui.stopButton->setEnabled(true);
    if (ui.playButton)
        ui.playButton->setEnabled(false);
    showTimelineIndicator();
}
