// The audio and text layers of the timeline and their test commands, and the wiring of the music commands to
// the window's buttons and menus.
#include "ui/main/SlideshowMainObject.h"

#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/MediaAsset.h"
#include "render/SlideshowDirector.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/ControllerDialogs.h"

using platform::media::MediaTime;

namespace {

constexpr double kLayerBandHeight = 20.0;
constexpr double kAudioLayerY = 45.0;
constexpr double kTextLayerY = 175.0;
constexpr double kAudioLayerPitch = 30.0;
constexpr double kAudioLayerFirstStart = 3.5;
constexpr float kTestSongVolume = 0.8f;
constexpr double kTestSongStart = 12.0;

quint64 framesOf(double seconds) {
    return seconds > 0.0 ? quint64(seconds * double(SlideshowProject::ulFrameRate())) : 0;
}

// A composition slide of the text-layer test: still, over the whole frame.
std::shared_ptr<QuartzSlideItem> testComposition(const QString& name, float photo, float start) {
    auto item = std::make_shared<QuartzSlideItem>();
    item->setStrQuartzFilePath(platform::paths::pathForResource(name, QStringLiteral("vcomp")));
    item->setFSecPhotoDuration(photo);
    item->setFSecTransitionDuration(0.1f);
    item->setFSecStartTimePosition(start);
    item->setPanStartPoint(QPointF(0, 0));
    item->setPanEndPoint(QPointF(0, 0));
    item->setZoomStart(1.0);
    item->setZoomEnd(1.0);
    return item;
}

} // namespace

// ---- the audio layer

void SlideshowMainObject::addMusicToAudioLayer(const QStringList& paths) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    std::vector<QVariantMap> sounds;
    for (const QString& path : paths) {
        const QVariantMap sound = SlideshowProjectManager::getMusicInfoDict(path);
        if (!sound.isEmpty())
            sounds.push_back(sound);
    }
    if (sounds.empty())
        return;
    std::vector<MusicItemRef> layers = project->audioLayerArray();
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        auto item = std::make_shared<MusicItem>();
        item->setFStartPosition(float(kAudioLayerPitch * double(i) + kAudioLayerFirstStart));
        item->addEntriesFromDictionary(sounds[i]);
        layers.push_back(item);
    }
    project->setAudioLayerArray(std::move(layers));
    project->setBIsDirty(true);
}

// Places the item views there are, one per item in order (nothing makes them yet: the strip draws the
// items itself).
void SlideshowMainObject::layoutAudioLayerSubviews() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const std::vector<MusicItemRef> items = project->audioLayerArray();
    for (std::size_t i = 0; i < items.size() && i < audioLayerSubviewArray.size(); ++i) {
        QWidget* view = audioLayerSubviewArray[i];
        if (!view)
            continue;
        const double start = items[i]->fStartPosition();
        const float x0 = getTimelineXPositionFromFrame(framesOf(start));
        const float x1 = getTimelineXPositionFromFrame(framesOf(start + items[i]->duration()));
        view->setParent(ui.scrollContentView);
        view->setGeometry(
            TimelineContentView::toWidget(QRectF(x0, kAudioLayerY, x1 - x0, kLayerBandHeight)).toRect());
        view->show();
    }
}

void SlideshowMainObject::layoutTextLayerSubviews() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const std::vector<SlideItemRef> items = project->textLayerArray();
    for (std::size_t i = 0; i < items.size() && i < textLayerSubviewArray.size(); ++i) {
        QWidget* view = textLayerSubviewArray[i];
        if (!view)
            continue;
        const SlideItem& item = *items[i];
        const double start = item.fSecStartTimePosition();
        const double end = start + item.fSecPhotoDuration() + item.fSecTransitionDuration();
        const float x0 = getTimelineXPositionFromFrame(framesOf(start));
        const float x1 = getTimelineXPositionFromFrame(framesOf(end));
        view->setParent(ui.scrollContentView);
        view->setGeometry(
            TimelineContentView::toWidget(QRectF(x0, kTextLayerY, x1 - x0, kLayerBandHeight)).toRect());
        view->show();
    }
}

// ---- test commands

void SlideshowMainObject::TestAudioLayer() {
    setNCurrentSlideshowItemIndex(0);
    addMusicToAudioLayer({platform::paths::pathForResource(QStringLiteral("audio1"), QStringLiteral("caf")),
                          platform::paths::pathForResource(QStringLiteral("audio2"), QStringLiteral("caf"))});
    if (const auto project = SlideshowProject::currentMainProject())
        project->updateTimelineItemsPosition();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

void SlideshowMainObject::TestTextLayer() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    setNCurrentSlideshowItemIndex(0);
    textLayerSubviewArray.clear();
    const auto context = slideshowDirector ? slideshowDirector->mainContext() : nullptr;
    std::vector<SlideItemRef> layers;
    for (const auto& item : {testComposition(QStringLiteral("myTest"), 10.0f, 3.0f),
                             testComposition(QStringLiteral("coolSlideshow"), 8.0f, 23.0f)}) {
        item->openComposition(context);
        layers.push_back(item);
    }
    project->setTextLayerArray(std::move(layers));
    project->setBIsDirty(true);
    project->updateTimelineItemsPosition();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

// The stock song at 0.8 from 12 s on, once.
void SlideshowMainObject::playSongTest() {
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

void SlideshowMainObject::connectMusicActions() {
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
