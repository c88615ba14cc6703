#include "ui/main/LayerViews.h"

#include "model/QuartzSlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/SlideshowMainObject.h"

namespace {

constexpr double kLayerBandHeight = 20.0;
constexpr double kAudioLayerY = 45.0;
constexpr double kTextLayerY = 175.0;
constexpr double kAudioLayerPitch = 30.0;
constexpr double kAudioLayerFirstStart = 3.5;

quint64 framesOf(double seconds) {
    return seconds > 0.0 ? quint64(seconds * double(SlideshowProject::ulFrameRate())) : 0;
}

// A composition slide of the text-layer test: still, over the whole frame.
std::shared_ptr<QuartzSlideItem> testComposition(const QString& name, float photo, float start) {
    auto item = platform::makeMainThreadShared<QuartzSlideItem>();
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

LayerViews::LayerViews(SlideshowMainObject& hub, const MainWindowOutlets& outlets, ProjectSource project)
    : hub(hub), ui(outlets), currentProject(std::move(project)) {}

// ---- the audio layer

void LayerViews::addMusicToAudioLayer(const QStringList& paths) {
    const auto project = currentProject();
    if (!project)
        return;
    // Copied into this project's folder, as the manager's getMusicInfoDict does for the open one.
    const QString contents = project->strMacProjectBundleContentsPath();
    if (contents.isEmpty())
        return;
    std::vector<QVariantMap> sounds;
    for (const QString& path : paths) {
        const QVariantMap sound = MusicItem::songDictionaryForImport(path, contents);
        if (!sound.isEmpty())
            sounds.push_back(sound);
    }
    if (sounds.empty())
        return;
    std::vector<MusicItemRef> layers = project->audioLayerArray();
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        auto item = platform::makeMainThreadShared<MusicItem>();
        item->setFStartPosition(float(kAudioLayerPitch * double(i) + kAudioLayerFirstStart));
        item->addEntriesFromDictionary(sounds[i]);
        layers.push_back(item);
    }
    project->setAudioLayerArray(std::move(layers));
    project->setBIsDirty(true);
}

void LayerViews::layoutAudioLayerSubviews() {
    const auto project = currentProject();
    if (!project)
        return;
    const std::vector<MusicItemRef> items = project->audioLayerArray();
    for (std::size_t i = 0; i < items.size() && i < audioLayerSubviewArray.size(); ++i) {
        QWidget* view = audioLayerSubviewArray[i];
        if (!view)
            continue;
        const double start = items[i]->fStartPosition();
        const float x0 = hub.getTimelineXPositionFromFrame(framesOf(start));
        const float x1 = hub.getTimelineXPositionFromFrame(framesOf(start + items[i]->duration()));
        view->setParent(ui.scrollContentView);
        view->setGeometry(
            TimelineContentView::toWidget(QRectF(x0, kAudioLayerY, x1 - x0, kLayerBandHeight)).toRect());
        view->show();
    }
}

void LayerViews::layoutTextLayerSubviews() {
    const auto project = currentProject();
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
        const float x0 = hub.getTimelineXPositionFromFrame(framesOf(start));
        const float x1 = hub.getTimelineXPositionFromFrame(framesOf(end));
        view->setParent(ui.scrollContentView);
        view->setGeometry(
            TimelineContentView::toWidget(QRectF(x0, kTextLayerY, x1 - x0, kLayerBandHeight)).toRect());
        view->show();
    }
}

// ---- test commands

void LayerViews::TestAudioLayer() {
    hub.setNCurrentSlideshowItemIndex(0);
    addMusicToAudioLayer({platform::paths::pathForResource(QStringLiteral("audio1"), QStringLiteral("caf")),
                          platform::paths::pathForResource(QStringLiteral("audio2"), QStringLiteral("caf"))});
    if (const auto project = currentProject())
        project->updateTimelineItemsPosition();
    if (ui.scrollContentView)
        ui.scrollContentView->update();
}

void LayerViews::TestTextLayer() {
    const auto project = currentProject();
    if (!project)
        return;
    hub.setNCurrentSlideshowItemIndex(0);
    textLayerSubviewArray.clear();
    const auto context = hub.mainContext();
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
