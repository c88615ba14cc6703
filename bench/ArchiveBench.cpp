// Project archive speed by the number of slides, as time per save and per load:
//   saveProject  the keyed archive of a project of N photo slides (what every autosave writes)
//   loadProject  the same archive read back into a project
// Both should grow in step with N. Run: build/bench/ArchiveBench
#include "model/ModelClasses.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/MainThread.h"

#include <benchmark/benchmark.h>

namespace {

std::shared_ptr<SlideshowProject> projectOf(int slides) {
    registerModelClasses();
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    for (int i = 0; i < slides; ++i) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(QStringLiteral("photo_%1.jpg").arg(i));
        slide->setStrThumbFileName(QStringLiteral("thumb_%1.jpg").arg(i));
        project->addSlideItem(slide);
    }
    return project;
}

void saveProject(benchmark::State& state) {
    const auto project = projectOf(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::KeyedArchiver::archivedData(project));
    state.SetComplexityN(state.range(0));
}

void loadProject(benchmark::State& state) {
    const QByteArray data = platform::KeyedArchiver::archivedData(projectOf(int(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::KeyedUnarchiver::unarchiveObject(data));
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(saveProject)->RangeMultiplier(2)->Range(1250, 10000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(loadProject)->RangeMultiplier(2)->Range(1250, 10000)->Unit(benchmark::kMillisecond)->Complexity();
