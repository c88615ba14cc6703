// Video clips: the Add Video command and clip drops, copied one after another into the project under their
// copy windows and added as clip slides; the clip's own player in place of the preview; playing from the
// position slider.
#include "ui/main/SlideshowMainObject.h"

#include "model/MusicDirector.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "render/RenderGlobals.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/CopyFileProgressWindowController.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/editing/VideoPlaybackViewController.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/PreviewHostSwap.h"

#include <algorithm>

namespace {

constexpr double kClipStartDelay = 0.3;
const QString kAddVideoTitle = QStringLiteral("Add Video");

} // namespace

// ---- import

void SlideshowMainObject::AddVideoItem_1() {
    stop();
    const QStringList paths =
        userDialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Clips, kAddVideoTitle);
    if (!paths.isEmpty())
        AddVideoFromPath(paths.first());
}

// A slot at or past the end, or negative, appends; otherwise the clips keep their order from the slot on.
void SlideshowMainObject::addVideoToProject(const QStringList& paths, int index) {
    const bool append = quint64(qint64(index)) >= slideshowArray().size();
    for (int i = 0; i < paths.size(); ++i) {
        if (append)
            AddVideoFromPath(paths[i]);
        else
            InsertVideoFromPath(paths[i], index + i);
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

// The copy's own result decides; a file that is no clip is named in an alert before anything is copied.
void SlideshowMainObject::copyAndAddClip(const ClipRequest& request) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    QString why;
    if (!VideoSlideItem::isImportableClip(request.path, &why)) {
        userDialogs.runModalAlert(why, QString());
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
    project->setBIsDirty(true);
    project->calcSlideItemsPhotoTransitionDuration();
    layoutScrollImages();
    layoutMusicSubViews();
    updateProjectInfo();
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
    animation.cancel();
    motion = PreviewMotion::None;
    readinessWait.cancel();
    slideshowDirector->setSlideshowArrayFromFrame(project->slideshowArray(), quint64(frame));
    slideshowDirector->setDirectorStatus(1);
    music->playFromLocation(double(frame) / double(SlideshowProject::ulFrameRate()));
    playing = true;
    setPlayButtonPlaying(true);
    if (ui.stopButton)
        ui.stopButton->setEnabled(true);
    if (ui.playButton)
        ui.playButton->setEnabled(false);
    showTimelineIndicator();
}
