// Where a movie export's time goes, and how it compares with the bare encoder and with ffmpeg's own filter
// graph, on one generated show of large photos (4000 x 3000 JPEGs, 1.5 s each with 0.5 s transitions, the
// default theme, a tone as the song) at 1280 x 720 and 1920 x 1080 with the export's own settings. Each
// measure runs three times; the table at the end gives the medians.
//
//   export         the whole movie export (EncoderController fed by the real pump): frames a second from
//                  the first frame in the movie to the finished file, and CPU ms a frame over that time
//   encoder        the movie writer alone, fed from memory with frames the player drew (a 3 s window of
//                  the show played forth and back for as many frames as the show has)
//   render         the player and the read-back alone: the real pump into a pipe whose reader drops it
//   ffmpeg         ffmpeg with zoompan per photo and xfade between them, same size, preset, rates and AAC
//
// Ratios: export / encoder; export / limit, where limit = cores x 1000 / (render + encoder CPU ms a frame),
// the rate the CPUs could give if every stage overlapped perfectly; export / ffmpeg. A second table gives
// the cores each run kept busy on average (fps x CPU ms a frame / 1000).
//
// Run: build/bench/ExportSpeedBench [--benchmark_filter=...]. VISTRELLE_BENCH_PHOTOS sets the number of
// photos (20 by default); VISTRELLE_BENCH_SIZES=720 or 1080 keeps one size.
#include "BenchProject.h"
#include "export/EncoderController.h"
#include "model/ModelClasses.h"
#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "platform/image/ImageFilters.h"
#include "platform/media/AudioFileWriter.h"
#include "platform/media/MovieWriter.h"
#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr float kPhotoSeconds = 1.5f;
constexpr float kTransitionSeconds = 0.5f;
constexpr int kKeptFrames = 90; // the encoder's window of drawn frames

struct Size {
    int width, height;
    int64_t bitrate;
};

Size sizeOf(const benchmark::State& state) {
    const int height = int(state.range(0));
    return height == 1080 ? Size{1920, 1080, 20'800'000} : Size{1280, 720, 10'800'000};
}

int photoCount() {
    const int wanted = qEnvironmentVariableIntValue("VISTRELLE_BENCH_PHOTOS");
    return wanted > 1 ? wanted : 20;
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& v) { return double(v.tv_sec) + double(v.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A camera-sized photo: smooth gradients, a few shapes and fine grain, so that it compresses like one.
QImage largePhoto(int index) {
    QImage image(4000, 3000, QImage::Format_RGB32);
    std::mt19937 grain(unsigned(index) * 7919u + 1u);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = int(grain() % 20);
            const int ring = ((x - 2000) * (x - 2000) + (y - 1500) * (y - 1500)) / 40000 % 64;
            line[x] = qRgb((x / 16 + index * 37 + g) & 255, (y / 12 + ring + g) & 255,
                           ((x + y) / 28 + index * 11 + g) & 255);
        }
    }
    return image;
}

// The show, its project folder and the player, made once for the run.
struct Show : bench::Project {
    QStringList photos;

    Show() {
        // The same looks and transitions in every run and build, so that pictures can be compared.
        platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(2026));
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < photoCount(); ++i) {
            const QString name = QStringLiteral("photo_%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            const QImage picture = largePhoto(i);
            picture.save(contents + "/" + name, "JPEG", 90);
            photos << contents + "/" + name;
            // The blurred backdrop of the default theme, as an import makes it.
            const QString backdrop = QStringLiteral("psd_bk_%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            platform::image::gaussianBlur(
                picture.scaled(1600, 1200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), 4.0f)
                .save(contents + "/" + backdrop, "JPEG", 90);
            auto slide = std::make_shared<SlideItem>();
            slide->setFileName(name);
            slide->setBackgroudImageFileName(backdrop);
            slide->customSetDurations(kPhotoSeconds, i + 1 < photoCount() ? kTransitionSeconds : 0.0f);
            slides.push_back(slide);
        }
        finish(slides);
    }

    quint64 frames() const { return project->totalFrameCount(); }
};

Show& show() {
    static Show instance;
    return instance;
}

// One measure: frames a second and CPU ms a frame.
struct Measure {
    double fps = 0.0;
    double cpuMs = 0.0;
};

// Three runs of each measure, by name and height.
std::map<std::pair<std::string, int>, std::vector<Measure>>& results() {
    static std::map<std::pair<std::string, int>, std::vector<Measure>> all;
    return all;
}

Measure median(const std::vector<Measure>& runs) {
    if (runs.empty())
        return {};
    std::vector<double> fps, cpu;
    for (const Measure& m : runs) {
        fps.push_back(m.fps);
        cpu.push_back(m.cpuMs);
    }
    std::sort(fps.begin(), fps.end());
    std::sort(cpu.begin(), cpu.end());
    return {fps[fps.size() / 2], cpu[cpu.size() / 2]};
}

void record(benchmark::State& state, const char* name, const Measure& m) {
    results()[{name, int(state.range(0))}].push_back(m);
    state.counters["fps"] = m.fps;
    state.counters["cpu_ms"] = m.cpuMs;
}

// ---- the render alone; it also keeps the encoder's window of frames

std::map<int, std::vector<std::vector<unsigned char>>>& keptFrames() {
    static std::map<int, std::vector<std::vector<unsigned char>>> frames;
    return frames;
}

// With VISTRELLE_BENCH_FRAMES set to a folder, every 7th frame of the render goes there as raw BGRA, so
// that two builds' pictures can be compared.
void dumpFrame(const std::vector<unsigned char>& frame, const Size& size, int index) {
    const QString folder = qEnvironmentVariable("VISTRELLE_BENCH_FRAMES");
    if (folder.isEmpty() || index % 7 != 0)
        return;
    QFile file(
        QStringLiteral("%1/%2p_%3.bgra").arg(folder).arg(size.height).arg(index, 4, 10, QLatin1Char('0')));
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(frame.data()), qint64(frame.size()));
}

Measure renderOnce(const Size& size) {
    Show& s = show();
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    platform::NamedPipe pipe;
    pipe.create(s.folder.path() + "/discard_fifo");
    auto& kept = keptFrames()[size.height];
    const bool keep = kept.empty();
    std::thread reader([&] {
        platform::UniqueFd fd = platform::NamedPipe::openForReading(pipe.path());
        const std::size_t frameBytes = std::size_t(size.width) * std::size_t(size.height) * 4;
        std::vector<unsigned char> frame(frameBytes);
        std::size_t got = 0;
        int drawn = 0;
        for (ssize_t n; (n = ::read(fd.get(), frame.data() + got, frameBytes - got)) > 0;) {
            got += std::size_t(n);
            if (got < frameBytes)
                continue;
            got = 0;
            if (keep && kept.size() < kKeptFrames)
                kept.push_back(frame);
            dumpFrame(frame, size, drawn++);
        }
    });
    DirectorFrameRenderer renderer(s.director);
    FramePump::Options options;
    options.slides = s.project->slideshowArray();
    options.pipePath = pipe.path();
    options.skipFirstFrame = false;
    const double cpu = processCpuSeconds();
    const auto start = Clock::now();
    const FramePump::Outcome outcome = FramePump::run(renderer, options);
    const double seconds = secondsSince(start);
    const double cpuSeconds = processCpuSeconds() - cpu;
    reader.join();
    const double frames = double(std::max<quint64>(outcome.framesRendered, 1));
    return {frames / seconds, cpuSeconds * 1000.0 / frames};
}

void render(benchmark::State& state) {
    const Size size = sizeOf(state);
    for (auto _ : state)
        record(state, "render", renderOnce(size));
}

// ---- the encoder alone

Measure encodeOnce(const Size& size) {
    auto& kept = keptFrames()[size.height];
    if (kept.empty())
        renderOnce(size);
    const std::vector<float> sound = bench::tone(double(show().frames()) / 30.0 + 1.0);
    platform::media::MovieWriter::Settings settings;
    settings.path = show().folder.path() + "/memory.mp4";
    settings.frameSize = QSize(size.width, size.height);
    settings.videoBitRate = size.bitrate;
    settings.gopSize = EncoderController::kMaximumKeyFrameInterval;
    settings.audio = true;
    platform::media::MovieWriter writer(settings);
    const double cpu = processCpuSeconds();
    const auto start = Clock::now();
    writer.start();
    const int perFrame = 44100 / 30;
    const int frames = int(show().frames());
    const int window = int(kept.size());
    for (int i = 0; i < frames; ++i) {
        // Forth and back through the window, so that the pictures move on without a cut.
        const int cycle = i % (2 * window - 2);
        const auto& frame = kept[std::size_t(cycle < window ? cycle : 2 * window - 2 - cycle)];
        writer.appendVideoFrame(frame.data(), size.width * 4, platform::media::MediaTime(i + 1, 30));
        writer.appendAudioSamples(sound.data() + std::size_t(i) * perFrame * 2, perFrame);
    }
    if (!writer.finish())
        return {};
    return {frames / secondsSince(start), (processCpuSeconds() - cpu) * 1000.0 / frames};
}

void encoder(benchmark::State& state) {
    const Size size = sizeOf(state);
    for (auto _ : state)
        record(state, "encoder", encodeOnce(size));
}

// ---- the whole export

// Through the pipe, or through the encoder's pool of buffers (BGRA frames read back on the drawing thread).
Measure exportOnce(const Size& size, bool pool = false) {
    Show& s = show();
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    const bench::MovieEndWatch movie;
    bench::PumpHost host(DirectorFrameRenderer::factory(s.director));
    EncoderController encoder;
    encoder.setNEncodeVideoBitrate(uint64_t(size.bitrate));
    encoder.setStrVideoOutputFullPath(
        s.project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput()));
    if (!(pool ? encoder.encodeVideo_2(&host) : encoder.encodeVideo_2_FIFO(&host)))
        return {};
    std::optional<Clock::time_point> firstFrame;
    double firstCpu = 0.0;
    while (!movie.ended()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (!firstFrame && encoder.framesAppended() > 0) {
            firstFrame = Clock::now();
            firstCpu = processCpuSeconds();
        }
    }
    const double seconds = firstFrame ? secondsSince(*firstFrame) : 0.0;
    const double cpu = processCpuSeconds() - firstCpu;
    encoder.waitUntilFinished();
    const double frames = double(encoder.framesAppended() - 1);
    if (!movie.finished || !firstFrame || frames <= 0)
        return {};
    return {frames / seconds, cpu * 1000.0 / frames};
}

void exportMovie(benchmark::State& state) {
    const Size size = sizeOf(state);
    for (auto _ : state)
        record(state, "export", exportOnce(size));
}

void exportThroughPool(benchmark::State& state) {
    const Size size = sizeOf(state);
    for (auto _ : state)
        record(state, "pool", exportOnce(size, true));
}

// ---- what a user would run instead: ffmpeg's filter graph

QStringList ffmpegArguments(const Size& size, const QString& output) {
    const Show& s = show();
    const int n = int(s.photos.size());
    const int photo = int(std::lround(kPhotoSeconds * 30)),
              transition = int(std::lround(kTransitionSeconds * 30));
    QStringList arguments{"-y", "-hide_banner", "-loglevel", "error"};
    for (const QString& path : s.photos)
        arguments << "-i" << path;
    arguments << "-i" << s.contents + "/song.m4a";
    QString graph;
    for (int i = 0; i < n; ++i) {
        // Each photo fills the frame, slowly zooming in, for its own time and both of its transitions.
        const int frames = photo + (i > 0 ? transition : 0) + (i + 1 < n ? transition : 0);
        graph += QStringLiteral("[%1:v]scale=%2:%3:force_original_aspect_ratio=increase,crop=%2:%3,"
                                "zoompan=z='min(zoom+0.0015,1.1)':x='iw/2-iw/zoom/2':y='ih/2-ih/zoom/2':"
                                "d=%4:s=%5x%6:fps=30,setsar=1[p%1];")
                     .arg(i)
                     .arg(size.width * 2)
                     .arg(size.height * 2)
                     .arg(frames)
                     .arg(size.width)
                     .arg(size.height);
    }
    QString last = QStringLiteral("p0");
    double length = double(photo + transition) / 30.0;
    for (int i = 1; i < n; ++i) {
        const QString next = QStringLiteral("x%1").arg(i);
        graph += QStringLiteral("[%1][p%2]xfade=transition=fade:duration=%3:offset=%4[%5];")
                     .arg(last)
                     .arg(i)
                     .arg(kTransitionSeconds)
                     .arg(length - kTransitionSeconds, 0, 'f', 4)
                     .arg(next);
        length += double(photo + transition + (i + 1 < n ? transition : 0)) / 30.0 - kTransitionSeconds;
        last = next;
    }
    graph += QStringLiteral("[%1]format=yuv420p[v]").arg(last);
    const QString rate = QString::number(size.bitrate);
    const QString peak = QString::number(2 * size.bitrate);
    arguments << "-filter_complex" << graph << "-map"
              << "[v]"
              << "-map" << QStringLiteral("%1:a").arg(n) << "-c:v"
              << "libx264"
              << "-preset"
              << "veryfast"
              << "-b:v" << rate << "-maxrate" << peak << "-bufsize" << peak << "-g"
              << "30"
              << "-c:a"
              << "aac"
              << "-b:a"
              << "128k"
              << "-shortest" << output;
    return arguments;
}

Measure ffmpegOnce(const Size& size) {
    platform::ChildProcess::Options options;
    options.program = QStringLiteral("ffmpeg");
    options.arguments = ffmpegArguments(size, show().folder.path() + "/graph.mp4");
    options.mergeStderr = true;
    const double cpu = childrenCpuSeconds();
    const auto start = Clock::now();
    QByteArray output;
    if (!platform::ChildProcess::run(options, &output)) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", output.constData());
        return {};
    }
    const double frames = double(show().frames());
    return {frames / secondsSince(start), (childrenCpuSeconds() - cpu) * 1000.0 / frames};
}

void ffmpeg(benchmark::State& state) {
    const Size size = sizeOf(state);
    for (auto _ : state)
        record(state, "ffmpeg", ffmpegOnce(size));
}

void heights(benchmark::internal::Benchmark* bench) {
    const QByteArray only = qgetenv("VISTRELLE_BENCH_SIZES");
    for (int height : {720, 1080})
        if (only.isEmpty() || only.toInt() == height)
            bench->Arg(height);
    bench->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
}

void printSummary() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("\n%u cores, load average %.1f; medians of 3 runs, %llu frames\n", cores, load[0],
                static_cast<unsigned long long>(show().frames()));
    std::printf("%6s %22s %22s %22s %22s %9s %9s %9s\n", "size", "export fps (cpu ms)",
                "encoder fps (cpu ms)", "render fps (cpu ms)", "ffmpeg fps (cpu ms)", "/encoder", "/limit",
                "/ffmpeg");
    for (int height : {720, 1080}) {
        const auto measure = [&](const char* name) { return median(results()[{name, height}]); };
        const Measure e = measure("export"), enc = measure("encoder"), r = measure("render"),
                      f = measure("ffmpeg");
        if (e.fps == 0 && enc.fps == 0 && r.fps == 0 && f.fps == 0)
            continue;
        const double limit = r.cpuMs + enc.cpuMs > 0 ? cores * 1000.0 / (r.cpuMs + enc.cpuMs) : 0.0;
        const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf("%6dp %13.1f (%5.1f) %13.1f (%5.1f) %13.1f (%5.1f) %13.1f (%5.1f) %9.2f %9.2f %9.2f\n",
                    height, e.fps, e.cpuMs, enc.fps, enc.cpuMs, r.fps, r.cpuMs, f.fps, f.cpuMs,
                    ratio(e.fps, enc.fps), ratio(e.fps, limit), ratio(e.fps, f.fps));
    }
    // The in-memory path against the pipe.
    for (int height : {720, 1080}) {
        const Measure pool = median(results()[{"pool", height}]),
                      pipe = median(results()[{"export", height}]);
        if (pool.fps > 0)
            std::printf("%6dp through the pool of buffers %.1f fps (%.1f cpu ms), %.2f of the pipe's rate\n",
                        height, pool.fps, pool.cpuMs, pipe.fps > 0 ? pool.fps / pipe.fps : 0.0);
    }
    // What each run kept busy: a stage whose threads wait on each other leaves cores idle even alone, and
    // the export can fill them only with the other stage's work.
    std::printf("\n%6s %22s %22s %22s %22s\n", "size", "export cores busy", "encoder cores busy",
                "render cores busy", "ffmpeg cores busy");
    for (int height : {720, 1080}) {
        const auto busy = [&](const char* name) {
            const Measure m = median(results()[{name, height}]);
            return m.fps * m.cpuMs / 1000.0;
        };
        if (busy("export") == 0 && busy("encoder") == 0 && busy("render") == 0 && busy("ffmpeg") == 0)
            continue;
        std::printf("%6dp %22.1f %22.1f %22.1f %22.1f\n", height, busy("export"), busy("encoder"),
                    busy("render"), busy("ffmpeg"));
    }
}

} // namespace

// The render first: it loads the photos once and keeps the frames the encoder alone is fed with.
BENCHMARK(render)->Apply(heights);
BENCHMARK(encoder)->Apply(heights);
BENCHMARK(exportMovie)->Apply(heights);
BENCHMARK(exportThroughPool)->Apply(heights);
BENCHMARK(ffmpeg)->Apply(heights);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
