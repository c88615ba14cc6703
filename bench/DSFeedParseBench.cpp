// Time and peak memory of parsing a 500-entry video feed of the service into its objects, as the service's
// worker does with each reply. Run: build/bench/DSFeedParseBench
#include "support/DSServiceDocuments.h"
#include "webservice/DSVideoSiteFeeds.h"

#include <benchmark/benchmark.h>

#include <QFile>

namespace {

// A figure of this process from /proc/self/status ("VmRSS", "VmHWM"), in KiB.
qint64 statusKiB(const QByteArray& name) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Starts a new high-water mark of the resident set at the present size.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void ParseVideoFeed(benchmark::State& state) {
    const int entries = int(state.range(0));
    const QByteArray feed =
        ds_documents::videoFeedPage(QStringLiteral("https://videos.example"), 1, 1, entries);
    qint64 peakKiB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const qint64 before = statusKiB("VmRSS");
        resetPeak();
        state.ResumeTiming();
        const DSObjectRef parsed = DSObject::objectWithXMLData(feed);
        benchmark::DoNotOptimize(parsed);
        state.PauseTiming();
        peakKiB = std::max(peakKiB, statusKiB("VmHWM") - before);
        if (!DSInstanceCast<DSFeedVideoSiteVideo>(parsed) ||
            DSInstanceCast<DSFeedBase>(parsed)->entries()->size() != entries)
            state.SkipWithError("the feed did not parse into its video entries");
        state.ResumeTiming();
    }
    state.counters["entries"] = double(entries);
    state.counters["document_KiB"] = double(feed.size()) / 1024.0;
    state.counters["peak_parse_MiB"] = double(peakKiB) / 1024.0;
    state.SetBytesProcessed(qint64(state.iterations()) * feed.size());
}

} // namespace

BENCHMARK(ParseVideoFeed)->Arg(500)->Unit(benchmark::kMillisecond);
