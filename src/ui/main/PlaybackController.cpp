#include "ui/main/PlaybackController.h"

#include "export/NSAudioMixerObject.h"
#include "model/MusicDirector.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/HeapSettings.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "render/SlideshowDirector.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"
#include "ui/main/SlideshowMainObject.h"
#include "ui/main/StillPreview.h"
#include "ui/main/TimelineGeometry.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSlider>

#include <utility>

namespace {

constexpr double kPlayHeadPeriod = 1.0 / 30.0;
constexpr double kStartDelay = 0.5;

void postStopPlayingMusic() {
    platform::NotificationCenter::defaultCenter().post(kNotifyStopPlayingMusic);
}

QIcon resourceIcon(const QString& name, const QString& type) {
    return QIcon(platform::paths::pathForResource(name, type));
}

// The play head: a red line over the strip with a marker at its top.
QPixmap playHeadPicture() {
    QPixmap picture(8, 205);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 69, 58));
    painter.drawRect(QRectF(3, 14, 2, 191));
    painter.drawPolygon(
        QPolygonF({QPointF(0, 10), QPointF(8, 10), QPointF(8, 16), QPointF(4, 21), QPointF(0, 16)}));
    return picture;
}

} // namespace

PlaybackController::PlaybackController(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                                       platform::Scheduler& scheduler, ProjectSource project)
    : hub(hub), userDialogs(dialogs), clock(scheduler), currentProject(std::move(project)) {}

bool PlaybackController::exportOwnsPlayer() const {
    const auto director = hub.director();
    return hub.isExportRunning() || (director && director->exportPlays());
}

void PlaybackController::play() {
    if (exportOwnsPlayer())
        return;
    hub.stopVideoPreview();
    postStopPlayingMusic();
    stopMixedAudio();
    const bool wasPlaying = playing;
    if (const auto director = hub.director(); wasPlaying && director)
        playingSlide = director->slideIndexOfPlaying();
    const auto project = currentProject();
    if (!project)
        return;
    // Playing is tested before the slide count, so that a show whose slides went meanwhile still stops; the
    // stop rewinds the project once the player has stopped.
    if (wasPlaying) {
        stop();
        project->updateTimelineItemsPosition();
        return;
    }
    project->resetPlayerToBegin();
    project->updateTimelineItemsPosition();
    if (project->slideCount() < 3) {
        userDialogs.runModalAlert(tr_("Please add at least 3 photos to get started!"), QString());
        return;
    }
    if (project->bIsMusicSideshow() && !project->doesSyncMusicAndSlideshowDuration()) {
        const QVariantMap fit = project->syncMusicAndSlideshowDuration();
        if (fit.value(QStringLiteral("failType")).toString() == QLatin1String("Success"))
            hub.notifyRefreshTimelineUI({});
        else
            hub.syncPhotoMusicButtonClicked();
    }
    // The still preview draws into the same picture: it stops here.
    hub.stillPreview().cancelMotion();
    playing = true;
    setPlayButtonPlaying(true);
    project->setNCurrentStatus(1);
    const std::vector<SlideItemRef> slides = project->slideshowArray();
    if (const auto player = hub.director()) {
        const int current = hub.nCurrentSlideshowItemIndex();
        if (current >= 0 && std::size_t(current) < slides.size())
            player->setSlideshowArrayFromIndex(slides, current);
        else
            player->setSlideshowArray(slides);
        // The player plays from the start below, half a second on; until then the view draws nothing.
        player->setDirectorStatus(0);
    }
    playStart = clock.scheduleOnce(kStartDelay, [this] { startDirector(); });
}

void PlaybackController::startDirector() {
    if (const auto director = hub.director())
        director->setDirectorStatus(1);
    const MainWindowOutlets& ui = hub.outlets();
    if (ui.stopButton)
        ui.stopButton->setEnabled(true);
    if (ui.playButton)
        ui.playButton->setEnabled(false);
    showTimelineIndicator();
}

void PlaybackController::stop() {
    if (exportOwnsPlayer()) {
        // The export's play and its clips are its own until it ends: the window shows itself stopped, and
        // the player, the project's rewind and the sound are left to the export.
        playStart.cancel();
        hideTimelineIndicator();
        playing = false;
        setPlayButtonPlaying(false);
        return;
    }
    const auto director = hub.director();
    // A player handed its slides but not yet started is stopped too, and one that reached the end of a show
    // on its own: its loaders and what they loaded are still there.
    const bool directorRuns =
        director && (playing || director->directorStatus() != 0 || playStart.isActive());
    // The player stops before the project rewinds it: a frame drawn between the two would be the rewound
    // show's first, taking the slide the play had queued next over the first slide's backdrop, and would stay
    // as the still; and the player tells where its play stood only before the rewind.
    if (directorRuns)
        director->stop();
    if (const auto project = currentProject())
        project->resetPlayerToBegin();
    playStart.cancel(); // a stop within the start's half second: the show does not start
    hideTimelineIndicator();
    hub.stopVideoPreview();
    postStopPlayingMusic();
    stopMixedAudio();
    playing = false;
    setPlayButtonPlaying(false);
    hub.stopRefreshPlayintIndicator();
    if (!directorRuns)
        return;
    hub.musicDirector().stop();
    platform::returnFreeHeapMemory(); // what the play's loaders, decoders and sound freed
    const MainWindowOutlets& ui = hub.outlets();
    if (ui.stopButton)
        ui.stopButton->setEnabled(false);
    if (ui.playButton)
        ui.playButton->setEnabled(true);
    markSlideOfPlay(int(playingSlide));
}

void PlaybackController::setPlayButtonPlaying(bool playingNow) {
    QAbstractButton* button = hub.outlets().m_btnPlayStop;
    if (!button)
        return;
    QIcon icon = playingNow ? resourceIcon(QStringLiteral("btn_stop"), QStringLiteral("png"))
                            : resourceIcon(QStringLiteral("30-circle-play-white"), QStringLiteral("png"));
    if (playingNow)
        icon.addFile(
            platform::paths::pathForResource(QStringLiteral("btn_stop_click"), QStringLiteral("png")),
            QSize(), QIcon::Active);
    button->setIcon(icon);
    // The window's button titles are white.
    button_text_color::setTitle(*button, playingNow ? tr_("Stop") : tr_("Play"), Qt::white);
}

void PlaybackController::markPlaying() {
    playing = true;
    setPlayButtonPlaying(true);
}

void PlaybackController::startAfter(double seconds, std::function<void()> start) {
    playStart = clock.scheduleOnce(seconds, std::move(start));
}

void PlaybackController::shutDown() {
    playing = false;
    playStart.cancel();
    indicatorTimer.cancel();
    stopMixedAudio(); // else the project's mixer plays on until it goes, after the application
}

// ---- music and the director's reports

void PlaybackController::startPlayMusic(const platform::Notification& notification) {
    // The notice comes through the main loop: one that the play's first frame posted before a stop arrives
    // after it, and starts nothing.
    if (!playing)
        return;
    const unsigned long rate = std::max<unsigned long>(SlideshowProject::ulFrameRate(), 1);
    hub.musicDirector().playFromLocation(notification.object.toDouble() / double(rate));
}

void PlaybackController::notifyPlaySlideIndexChanged(const platform::Notification& notification) {
    // Where an export's player stopped is no slide of the user's: a DVD run moved the mark to its last one.
    if (hub.isExportRunning())
        return;
    // The player tells where it stood as its play stopped, frames after the play head last looked: that
    // slide is the one playing, so that the stop marks the slide whose frame the preview keeps.
    playingSlide = notification.userInfo.value(QStringLiteral("playingItemIndex")).toInt();
    markSlideOfPlay(int(playingSlide));
}

// A stop leaves the slider and the time texts where the play was, and a report that a stop overtook too.
void PlaybackController::markSlideOfPlay(int index) {
    const QScopedValueRollback byThePlay(playMovesMark, true);
    hub.setNCurrentSlideshowItemIndex(index);
}

// The mix repeats until Play or Stop, which stop it.
void PlaybackController::playMixedAudio() {
    const auto mixer = NSAudioMixerObject::installNewMixer();
    if (!mixer)
        return;
    mixer->mixProjectAudioForPlaying();
    mixer->PlayMixedAudio();
    mixedAudio = mixer;
}

void PlaybackController::stopMixedAudio() {
    if (const auto mixer = std::exchange(mixedAudio, {}).lock())
        mixer->StopPlayingMixedAudio();
}

// ---- the play head and the time texts

void PlaybackController::showTimelineIndicator() {
    indicatorTimer = clock.scheduleRepeating(kPlayHeadPeriod, [this] { timelineIndicatorCallback(); });
    const MainWindowOutlets& ui = hub.outlets();
    if (!playHead && ui.scrollContentView) {
        auto* head = new QLabel(ui.scrollContentView); // the content view owns it
        head->setObjectName("timelineIndicatorImageView");
        head->setPixmap(playHeadPicture());
        head->setAttribute(Qt::WA_TransparentForMouseEvents);
        playHead = head;
    }
    if (playHead) {
        playHead->setGeometry(QRect());
        playHead->show();
        playHead->raise();
    }
    startTime = clock.now();
    lastMarkedSlide = -1; // each play marks its first slide, wherever the last one stopped
}

void PlaybackController::hideTimelineIndicator() {
    indicatorTimer.cancel();
    if (playHead)
        playHead->hide();
}

void PlaybackController::timelineIndicatorCallback() {
    const auto director = hub.director();
    const auto project = currentProject();
    if (!director || !project)
        return;
    // A show that does not loop stops the player at its end; the button follows.
    if (playing && director->directorStatus() == 0) {
        stop();
        return;
    }
    const quint64 frame = director->nCurrentFrame();
    // Held by the user, the slider is theirs: a drag there plays from where it is let go.
    const MainWindowOutlets& ui = hub.outlets();
    if (ui.positionSlider && !ui.positionSlider->isSliderDown())
        ui.positionSlider->setValue(int(std::min<quint64>(frame, quint64(ui.positionSlider->maximum()))));
    const SlideFramePosition position =
        SlideshowDirector::CS_GetSlideIndexFromCurrentFrame(frame, project->slideshowArray());
    const std::optional<float> x = timeline_geometry::playHeadX(position);
    if (x && qint64(position.slideIndex) != lastMarkedSlide) {
        lastMarkedSlide = qint64(position.slideIndex);
        hub.setCurrentSlideshowOnTimeline(lastMarkedSlide);
    }
    if (project->nTimelineStyle() == 1) {
        const float rulerX = timeline_geometry::rulerPlayHeadX(frame, SlideshowProject::ulFrameRate(),
                                                               project->nTimelinePixelPerSecond());
        placePlayHead(rulerX, qint64(rulerX));
        showTimelineTimeText(frame);
        return;
    }
    if (!x)
        return;
    placePlayHead(*x, qint64(position.slideIndex) * timeline_geometry::kCellWidth);
    showTimelineTimeText(frame);
}

void PlaybackController::placePlayHead(float x, qint64 scrollTo) {
    if (playHead)
        playHead->setGeometry(TimelineContentView::toWidget(timeline_geometry::playHeadRect(x)).toRect());
    const MainWindowOutlets& ui = hub.outlets();
    if (!ui.scrollView1)
        return;
    const QRectF visible = ui.scrollView1->visibleRect();
    if (x + float(timeline_geometry::kCellWidth) > visible.right() || x < visible.left())
        ui.scrollView1->scrollToX(double(scrollTo));
}

// Whatever made another slide current (a click on a cell, a step, a delete, an import, an opened project)
// or changed where the slides start, the next Play starts at the current slide.
void PlaybackController::currentSlideOrLengthChanged() {
    if (!playing && !playStart.isActive() && !playMovesMark)
        showCurrentSlideStart();
}

void PlaybackController::showCurrentSlideStart() {
    const auto project = currentProject();
    const int current = hub.nCurrentSlideshowItemIndex();
    // A play from the first slide starts before its fade-in, as the player counts it.
    const SlideItemRef slide =
        project && current > 0 ? project->slideItemAtIndex(std::size_t(current)) : nullptr;
    const quint64 frame = slide ? slide->nItemStartFrameIndex() : 0;
    const MainWindowOutlets& ui = hub.outlets();
    if (ui.positionSlider)
        ui.positionSlider->setValue(int(std::min<quint64>(frame, quint64(ui.positionSlider->maximum()))));
    if (ui.timelineTimeText)
        ui.timelineTimeText->setText(
            timeline_geometry::timelineTimeText(frame, SlideshowProject::ulFrameRate()));
    if (ui.realTimeText)
        ui.realTimeText->setText(timeline_geometry::elapsedTimeText(0.0));
}

void PlaybackController::showTimelineTimeText(quint64 frame) {
    const MainWindowOutlets& ui = hub.outlets();
    if (ui.timelineTimeText)
        ui.timelineTimeText->setText(
            timeline_geometry::timelineTimeText(frame, SlideshowProject::ulFrameRate()));
    if (ui.realTimeText)
        ui.realTimeText->setText(timeline_geometry::elapsedTimeText(clock.now() - startTime));
}
