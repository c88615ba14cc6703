// What a Delete of slides costs by the length of the show: half the photo slides of a show of N (each with
// its picture, thumbnail and backdrop in the project) leave it, and their files go once nothing left names
// them. Should grow in step with N, not with its square. Run: build/bench/SlideDeleteBench
#include "BenchProject.h"

#include <benchmark/benchmark.h>

namespace {

void deleteHalfTheSlides(benchmark::State& state) {
    bench::Project show;
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<SlideItemRef> kept, removed;
        for (int i = 0; i < count; ++i) {
            auto slide = platform::makeMainThreadShared<SlideItem>();
            const QString names[] = {QStringLiteral("photo_%1.jpg").arg(i),
                                     QStringLiteral("thumb_%1.jpg").arg(i),
                                     QStringLiteral("back_%1.jpg").arg(i)};
            for (const QString& name : names) {
                QFile file(show.contents + "/" + name);
                file.open(QIODevice::WriteOnly);
            }
            slide->setFileName(names[0]);
            slide->setStrThumbFileName(names[1]);
            slide->setBackgroudImageFileName(names[2]);
            (i % 2 ? removed : kept).push_back(slide);
        }
        show.project->setSlideshowArray(kept);
        state.ResumeTiming();
        show.project->deleteFilesOfRemovedSlides(removed);
        state.PauseTiming();
        show.project->setSlideshowArray({});
        for (const SlideItemRef& slide : kept)
            slide->deleteFilesForDeletingItem(nullptr);
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(deleteHalfTheSlides)
    ->RangeMultiplier(2)
    ->Range(100, 800)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
