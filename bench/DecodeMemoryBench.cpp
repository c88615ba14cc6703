// What the export's look at its pictures holds at its peak, for received projects of huge progressive photos
// looked at on 16 workers: six and ten of 108 million pixels, ten of 200 million. Each show is measured with
// its decodes bounded as the program bounds them, and again unbounded (each decode going ahead at once) for
// comparison. The photos are made once and kept in the temporary folder. Reports the peak resident memory
// of the process (peakMB) and the most the decodes reserved at once (reservedMB).
// Run: taskset -c 0-2 build/bench/DecodeMemoryBench
#include "BenchProject.h"
#include "ProcessFigures.h"
#include "platform/foundation/Parallel.h"
#include "platform/image/DecodeBudget.h"
#include "support/LargePictures.h"

#include <benchmark/benchmark.h>

#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr unsigned kWorkers = 16;

// The photo of `megapixels` million pixels (3:2 or about) made once in the temporary folder.
QString cachedPhoto(int megapixels) {
    const QString folder = QDir::tempPath() + "/vistrelle-decode-memory-bench";
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/progressive-%1mp.jpg").arg(megapixels);
    if (!QFileInfo::exists(path)) {
        const QSize size = megapixels == 108 ? QSize(12720, 8480) : QSize(17320, 11550);
        if (!test_support::writeLargeJpeg(path + ".part", size, {.progressive = true, .quality = 90}) ||
            !QFile::rename(path + ".part", path))
            return QString();
    }
    return path;
}

// The resident memory at its peak since the last reset, in MB; the kernel keeps it.
double peakResidentMB() {
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        long value = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "VmHWM: %ld kB", &value) == 1)
                break;
        std::fclose(status);
        return double(value) * 1024.0 / 1e6;
    }
    return 0.0;
}

void resetPeakResident() {
    if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
}

// The look at `count` photos of `megapixels`, state.range(2) telling whether the decodes are bounded.
void theLook(benchmark::State& state) {
    const int count = int(state.range(0)), megapixels = int(state.range(1));
    const bool bounded = state.range(2) != 0;
    const QString photo = cachedPhoto(megapixels);
    if (photo.isEmpty()) {
        state.SkipWithError("the photo could not be made");
        return;
    }
    bench::Project show;
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < count; ++i) {
        // Hard links: the project's own files, made at once whatever their size.
        const QString name = QStringLiteral("photo%1.jpg").arg(i);
        if (::link(QFile::encodeName(photo).constData(),
                   QFile::encodeName(show.contents + "/" + name).constData())) {
            state.SkipWithError("the photo could not be linked into the project");
            return;
        }
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        slides.push_back(slide);
    }
    platform::setCoreCountForTesting(kWorkers);
    platform::image::DecodeBudget& budget = platform::image::DecodeBudget::process();
    budget.setTotalForTesting(bounded ? 0 : qint64(1) << 40);
    double peakMB = 0.0, reservedMB = 0.0;
    for (auto _ : state) {
        budget.resetMostHeld();
        resetPeakResident();
        const QString refusal = show.project->undecodablePicturesMessage(slides);
        peakMB = std::max(peakMB, peakResidentMB());
        reservedMB = std::max(reservedMB, double(budget.mostHeld()) / 1e6);
        if (!refusal.isEmpty())
            state.SkipWithError(refusal.toUtf8().constData());
    }
    budget.setTotalForTesting(0);
    platform::setCoreCountForTesting(0);
    state.counters["peakMB"] = peakMB;
    state.counters["reservedMB"] = reservedMB;
}

} // namespace

BENCHMARK(theLook)
    ->ArgNames({"photos", "megapixels", "bounded"})
    ->Args({6, 108, 1})
    ->Args({6, 108, 0})
    ->Args({10, 108, 1})
    ->Args({10, 108, 0})
    ->Args({10, 200, 1})
    ->Args({10, 200, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
