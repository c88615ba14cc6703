// What the checks before an export cost, for a show of 60 photo slides (1920 x 1080 at the import's quality,
// each with its backdrop): the window's, which reads the pictures' headers on the main thread and must stay
// well under a tenth of a second, and the export's, which decodes every picture whole on every core beside
// the export's play. Run: build/bench/ExportCheckBench
#include "BenchProject.h"

#include <benchmark/benchmark.h>

namespace {

// Times `check` of a show of state.range(0) photo slides.
void timeCheck(benchmark::State& state, QString (*check)(const SlideshowProject&)) {
    bench::Project show;
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < int(state.range(0)); ++i)
        slides.push_back(bench::importedPhotoSlide(show, i));
    show.project->setSlideshowArray(slides);
    for (auto _ : state) {
        const QString refusal = check(*show.project);
        if (!refusal.isEmpty())
            state.SkipWithError(refusal.toUtf8().constData());
        benchmark::DoNotOptimize(refusal);
    }
}

void theWindowsCheck(benchmark::State& state) {
    timeCheck(state, [](const SlideshowProject& project) { return project.missingSlideFilesMessage(); });
}

void theExportsCheck(benchmark::State& state) {
    timeCheck(state, [](const SlideshowProject& project) {
        return project.undecodablePicturesMessage(project.slideshowArray());
    });
}

} // namespace

BENCHMARK(theWindowsCheck)->Arg(60)->Unit(benchmark::kMillisecond);
BENCHMARK(theExportsCheck)->Arg(60)->Unit(benchmark::kMillisecond);
