// Frames per second of the player drawing a slideshow of large photos off screen and reading each frame
// back as BGRA, at the three export sizes. Run: build/bench/RenderBench
#include "LargePhoto.h"
#include "model/ModelClasses.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/Context.h"
#include "platform/gl/FrameBuffer.h"
#include "render/FrameConverterObject.h"
#include "render/RenderGlobals.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

namespace {

// The project, its photos and the GL context, made once for every benchmark of the run.
struct Stage {
    QTemporaryDir folder;
    std::shared_ptr<platform::gl::Context> context;
    std::shared_ptr<SlideshowDirector> director;

    Stage() {
        const QString contents = folder.path() + "/Bench.VistrelleProject/Contents";
        QDir().mkpath(contents);
        registerModelClasses();
        auto project = platform::makeMainThreadShared<SlideshowProject>();
        project->setStrMacProjectBundleContentsPath(contents);
        project->setBPlayLoop(true);
        SlideshowProject::setULFrameRate(30);
        SlideshowProject::retainProject(project);
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < 4; ++i) {
            const QString name = QStringLiteral("photo_%1.jpg").arg(i);
            bench::largePhoto(i).save(contents + "/" + name, "JPEG", 90);
            auto slide = platform::makeMainThreadShared<SlideItem>();
            slide->setFileName(name);
            slide->customSetDurations(2.0f, 1.0f);
            slides.push_back(slide);
        }
        project->setSlideshowArray(slides);
        context = platform::gl::Context::create();
        const platform::gl::Context::Scope scope(*context);
        SharedShaderPrograms::load();
        director = std::make_shared<SlideshowDirector>();
        director->setMainContext(context);
        director->backgroundRender()->setTheme({{"backgroundID", 2}});
    }
    ~Stage() { SlideshowProject::retainProject(nullptr); }
};

// Made on first use and gone before main returns, as the program's own GL objects and project go.
std::optional<Stage> made;

Stage& stage() {
    if (!made)
        made.emplace();
    return *made;
}

void renderAndReadBack(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    Stage& s = stage();
    const platform::gl::Context::Scope scope(*s.context);
    auto converter = std::make_shared<FrameConverterObject>(width, height);
    const auto slides = SlideshowProject::currentMainProject()->slideshowArray();
    const auto start = [&] { return s.director->startExportPlay(slides, converter, [] { return false; }); };
    if (!start()) {
        state.SkipWithError("the player would not start");
        return;
    }
    const auto draw = [&] { return converter->switchOffScreenFBO() && s.director->playExportFrame(); };
    // The first frames wait for the loader's first photos; they are not what is measured.
    for (int i = 0; i < 3; ++i)
        draw();
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (!draw()) { // the show ended: it starts again, untimed, as a repeating preview would
            state.PauseTiming();
            s.director->endExportPlay();
            const bool started = start() && draw();
            state.ResumeTiming();
            if (!started) {
                state.SkipWithError("the player would not start again");
                break;
            }
        }
        const QImage frame = platform::gl::readPixelsBGRA(0, 0, width, height);
        bytes += std::size_t(frame.sizeInBytes());
        benchmark::DoNotOptimize(frame.constBits());
    }
    s.director->endExportPlay();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(qint64(bytes));
}

} // namespace

BENCHMARK(renderAndReadBack)
    ->Args({640, 360})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    made.reset();
    return 0;
}
