// How long the preview holds a picture where a clip starts. Plays photos of 4000 x 3000 then a clip through
// the preview's own view (its display link at 60 Hz, the player drawing on the link's thread, the slide
// loader ahead of it), records when each new picture comes out, and reports the longest time one picture
// stayed at the start of the transition into the clip, next to the usual time between pictures. Run:
// build/bench/ClipStartBench
#include "BenchPreview.h"
#include "CameraClip.h"
#include "LargePhoto.h"
#include "model/ModelClasses.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/MainThread.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

constexpr int kPhotos = 3;

// The project, its photos and its clip, made once for the run.
struct Show {
    QTemporaryDir folder;
    SlideshowProjectRef project;
    quint64 clipStart = 0; // the first frame of the transition into the clip

    Show() {
        const QString bundle = folder.path() + "/Bench.VistrelleProject";
        const QString contents = bundle + "/Contents";
        QDir().mkpath(contents);
        registerModelClasses();
        project = platform::makeMainThreadShared<SlideshowProject>();
        project->setStrMacProjectBundleFullPath(bundle);
        project->setStrMacProjectBundleContentsPath(contents);
        SlideshowProject::setULFrameRate(30);
        SlideshowProject::retainProject(project);
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < kPhotos; ++i) {
            const QString name = QStringLiteral("photo_%1.jpg").arg(i);
            bench::largePhoto(i).save(contents + "/" + name, "JPEG", 90);
            auto slide = platform::makeMainThreadShared<SlideItem>();
            slide->setFileName(name);
            slide->customSetDurations(2.0f, 1.0f);
            slides.push_back(slide);
        }
        QDir().mkpath(project->strProjectVideoFileDirectory());
        const QString clipPath = project->strProjectVideoFileDirectory() + "/clip.mp4";
        if (!bench::writeCameraClip(clipPath))
            std::fprintf(stderr, "the clip could not be written\n");
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->PrepareVideoItem(clipPath);
        slides.push_back(clip);
        project->setSlideshowArray(slides);
        project->calcSlideItemsPhotoTransitionDuration();
        clipStart = project->nFrameSlideshowFadeIn();
        for (int i = 0; i + 1 < kPhotos; ++i)
            clipStart += slides[i]->nPhotoDuration() + slides[i]->nTransitionDuration();
        clipStart += slides[kPhotos - 1]->nPhotoDuration();
    }
    ~Show() { SlideshowProject::retainProject(nullptr); }
};

struct Picture {
    double seconds;
    quint64 frame;
};

// One play from the first photo to a second into the clip: when each picture came out, and its frame.
std::vector<Picture> playOnce(NSGLView& view, BenchPreview& preview, const Show& show) {
    std::mutex mutex;
    std::vector<Picture> pictures;
    QElapsedTimer clock;
    clock.start();
    const auto connection = QObject::connect(
        &view, &NSGLView::frameReady, &view,
        [&](const QImage&) {
            const std::lock_guard lock(mutex);
            pictures.push_back({double(clock.nsecsElapsed()) / 1e9, preview.director->nCurrentFrame() - 1});
        },
        Qt::DirectConnection);
    preview.playUntil(*show.project, [&] {
        return preview.director->nCurrentFrame() > show.clipStart + 30 || clock.elapsed() > 60000;
    });
    QObject::disconnect(connection);
    const std::lock_guard lock(mutex);
    return pictures;
}

struct Holds {
    double atClipStart = 0.0;   // the last photo picture before the transition into the clip, held
    double nearClipStart = 0.0; // the longest hold from a second before that to a second after
    qint64 nearFrom = 0;        // the frame held then, from the transition's first
    double typical = 0.0;       // the median time between pictures over the play
};

Holds holdsOf(const std::vector<Picture>& pictures, quint64 clipStart) {
    Holds holds;
    std::vector<double> gaps;
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        const double gap = pictures[i].seconds - pictures[i - 1].seconds;
        gaps.push_back(gap);
        if (pictures[i - 1].frame < clipStart && pictures[i].frame >= clipStart)
            holds.atClipStart = gap;
        if (pictures[i].frame + 30 >= clipStart && pictures[i - 1].frame <= clipStart + 30 &&
            gap > holds.nearClipStart) {
            holds.nearClipStart = gap;
            holds.nearFrom = qint64(pictures[i - 1].frame) - qint64(clipStart);
        }
    }
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
        holds.typical = gaps[gaps.size() / 2];
    }
    return holds;
}

void clipStartHold(benchmark::State& state) {
    // Gone with the preview before main returns, as the program's project goes: its clip locks its reader.
    const Show show;
    BenchPreview preview;
    NSGLView view(&preview);
    view.prepareOpenGL();
    view.reshape(QSize(960, 540));
    preview.director->backgroundRender()->setTheme({{"backgroundID", 2}});
    double worst = 0.0, sum = 0.0, worstNear = 0.0, typical = 0.0;
    for (auto _ : state) {
        const Holds holds = holdsOf(playOnce(view, preview, show), show.clipStart);
        std::fprintf(
            stderr,
            "hold at the clip's start %.0f ms, longest near it %.0f ms (frame %+lld), usual %.1f ms\n",
            holds.atClipStart * 1000.0, holds.nearClipStart * 1000.0, (long long)holds.nearFrom,
            holds.typical * 1000.0);
        worst = std::max(worst, holds.atClipStart);
        worstNear = std::max(worstNear, holds.nearClipStart);
        sum += holds.atClipStart;
        typical = holds.typical;
    }
    state.counters["hold_ms_mean"] = sum / double(state.iterations()) * 1000.0;
    state.counters["hold_ms_max"] = worst * 1000.0;
    state.counters["near_ms_max"] = worstNear * 1000.0;
    state.counters["usual_ms"] = typical * 1000.0;
}

} // namespace

BENCHMARK(clipStartHold)->Iterations(8)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
