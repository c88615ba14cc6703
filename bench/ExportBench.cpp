// Movie export speed at the four export sizes, as frames per second:
//   encodeFromMemory  the encoder alone: the same frames from memory into the movie writer with the
//                     export's settings (H.264 at the size's bit rate, key frames every 30, AAC beside)
//   exportThroughPipe the encoder's whole export (mix, pipe, writer) fed by a pump that writes the same
//                     frames without drawing them; "fps" counts from the first frame in the movie to the
//                     finished movie, "start_ms" is the time before (the mix, the pump's start),
//                     "whole_fps" the frames over the whole time; "vs_memory" is fps over the encoder alone
//   renderToDiscard   the real pump alone: the player draws every frame off screen and the read-back
//                     writes it into a pipe whose reader throws it away
//   exportRendered    the whole export with the real pump, also against the slower of drawing and
//                     encoding ("vs_slower") and against both done one after the other ("vs_serial")
// A 3 s show of 90 frames: a large photo-like picture panned across the frame. Run: build/bench/ExportBench
#include "BenchProject.h"
#include "export/EncoderController.h"
#include "export/MixedAudioExport.h"
#include "model/ModelClasses.h"
#include "model/MusicItem.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/Context.h"
#include "platform/media/AudioFileWriter.h"
#include "platform/media/MovieWriter.h"
#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"
#include "render/SharedShaderPrograms.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include <unistd.h>

namespace {

constexpr int kFrames = 90;
constexpr double kSeconds = kFrames / 30.0;

struct Size {
    int width, height;
    int64_t bitrate;
};

Size sizeOf(const benchmark::State& state) {
    static const std::map<int, int64_t> bitrates = {
        {640, 3'800'000}, {960, 5'600'000}, {1280, 10'800'000}, {1920, 20'800'000}};
    const int width = int(state.range(0));
    return {width, int(state.range(1)), bitrates.at(width)};
}

// A photo-like picture a quarter larger than the frame: smooth gradients with fine grain.
QImage photo(int width, int height) {
    QImage image(width * 5 / 4, height * 5 / 4, QImage::Format_ARGB32);
    std::mt19937 grain(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int g = int(grain() % 24);
            line[x] = qRgb((x / 5 + g) & 255, (y / 4 + 60 + g) & 255, ((x + y) / 9 + g) & 255);
        }
    }
    return image;
}

// Frame i of the show: the picture panned by i/90 of its margin, addressed in place.
const uchar* frameBits(const QImage& picture, int width, int height, int i) {
    const int dx = (picture.width() - width) * i / kFrames;
    const int dy = (picture.height() - height) * i / kFrames;
    return picture.constScanLine(dy) + std::size_t(dx) * 4;
}

std::vector<float> tone() {
    return bench::tone(kSeconds);
}

// The project every export bench exports: three slides of 1 s and a tone as its song, in a folder of its own.
struct Stage : bench::Project {
    Stage() {
        std::vector<SlideItemRef> slides;
        for (int i = 0; i < 3; ++i) {
            // Photos larger than the largest export, as a camera's are, for the rendered export.
            const QString name = QStringLiteral("photo_%1.jpg").arg(i);
            photo(2400 + 80 * i, 1350 + 45 * i).save(contents + "/" + name, "JPEG", 90);
            auto slide = platform::makeMainThreadShared<SlideItem>();
            slide->setFileName(name);
            slide->customSetDurations(1.0f, 0.0f);
            slides.push_back(slide);
        }
        finish(slides);
        director->backgroundRender()->setTheme({{"backgroundID", 2}});
    }
};

// Made on first use and gone before main returns, as the program's own GL objects and project go.
std::optional<Stage> made;

Stage& stage() {
    if (!made)
        made.emplace();
    return *made;
}

// Encodes the show from memory; frames per second.
double encodeOnce(const Size& size, const QImage& picture, const std::vector<float>& sound) {
    platform::media::MovieWriter::Settings settings;
    settings.path = stage().root + "/memory.mp4";
    settings.frameSize = QSize(size.width, size.height);
    settings.videoBitRate = size.bitrate;
    settings.audio = true;
    platform::media::MovieWriter writer(settings);
    const auto start = std::chrono::steady_clock::now();
    writer.start();
    const int perFrame = 44100 / 30;
    for (int i = 0; i < kFrames; ++i) {
        writer.appendVideoFrame(frameBits(picture, size.width, size.height, i), int(picture.bytesPerLine()),
                                platform::media::MediaTime(i + 1, 30));
        writer.appendAudioSamples(sound.data() + std::size_t(i) * perFrame * 2, perFrame);
    }
    if (!writer.finish())
        return 0.0;
    return kFrames / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::map<int, double>& memoryRates() {
    static std::map<int, double> rates;
    return rates;
}

void encodeFromMemory(benchmark::State& state) {
    const Size size = sizeOf(state);
    const QImage picture = photo(size.width, size.height);
    const std::vector<float> sound = tone();
    double rate = 0.0;
    for (auto _ : state)
        rate = encodeOnce(size, picture, sound);
    memoryRates()[size.width] = rate;
    state.counters["fps"] = rate;
}

// The memory rate of the size, measured now when the memory bench did not run first.
double memoryRate(const Size& size) {
    if (!memoryRates().count(size.width))
        memoryRates()[size.width] = encodeOnce(size, photo(size.width, size.height), tone());
    return memoryRates()[size.width];
}

// Writes the panned picture into the pipe as the read-back would: a whole frame a write.
class PannedRenderer : public FrameRenderer {
public:
    PannedRenderer(const Size& size, const QImage& picture) : size(size), picture(picture) {}
    bool begin(const Play& play, QString*) override {
        path = play.pipePath;
        frame.resize(std::size_t(size.width) * std::size_t(size.height) * 4);
        return true;
    }
    quint64 totalFrames() const override { return kFrames; }
    bool renderFrame() override {
        const uchar* bits = frameBits(picture, size.width, size.height, drawn++);
        for (int y = 0; y < size.height; ++y)
            std::memcpy(frame.data() + std::size_t(y) * size.width * 4,
                        bits + std::size_t(y) * picture.bytesPerLine(), std::size_t(size.width) * 4);
        return true;
    }
    bool writeFrame(QString* error) override {
        if (!fd.isValid() && !(fd = platform::NamedPipe::openForWriting(path, error)).isValid())
            return false;
        return platform::writeFully(fd.get(), frame.data(), frame.size(), error);
    }
    void end() override { fd.reset(); }

private:
    Size size;
    const QImage& picture;
    QString path;
    std::vector<uchar> frame;
    int drawn = 0;
    platform::UniqueFd fd;
};

// Times the calls of another renderer: where the pump's time goes.
class TimedRenderer : public FrameRenderer {
public:
    explicit TimedRenderer(std::unique_ptr<FrameRenderer> inner) : inner(std::move(inner)) {}
    bool begin(const Play& play, QString* error) override {
        return timed(beginSeconds, [&] { return inner->begin(play, error); });
    }
    quint64 totalFrames() const override { return inner->totalFrames(); }
    bool renderFrame() override {
        return timed(renderSeconds, [&] { return inner->renderFrame(); });
    }
    bool writeFrame(QString* error) override {
        return timed(writeSeconds, [&] { return inner->writeFrame(error); });
    }
    void end() override { inner->end(); }

    static inline std::atomic<double> beginSeconds{0}, renderSeconds{0}, writeSeconds{0};
    static void reset() { beginSeconds = renderSeconds = writeSeconds = 0; }

private:
    template <typename F> static bool timed(std::atomic<double>& total, F call) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = call();
        total = total + std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return ok;
    }
    std::unique_ptr<FrameRenderer> inner;
};

// Each renderer timed, so that the pump's time can be split.
class BenchPumpHost : public bench::PumpHost {
public:
    explicit BenchPumpHost(std::function<std::unique_ptr<FrameRenderer>()> make)
        : bench::PumpHost([make] { return std::make_unique<TimedRenderer>(make()); }) {}
};

struct ExportRun {
    bool ok = false;
    int64_t frames = 0;
    double startSeconds = 0.0;  // from the start to the first frame in the movie: the mix, the pump's start
    double streamSeconds = 0.0; // from the first frame in the movie to the finished movie
    double wholeSeconds = 0.0;
    // Frames a second while they stream, the user's pace once the sound is mixed.
    double fps() const { return ok && streamSeconds > 0 ? double(frames - 1) / streamSeconds : 0.0; }
};

// One whole export with the host's pump.
ExportRun exportOnce(const Size& size, FramePumpHost<EncoderController>& host) {
    Stage& s = stage();
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    const bench::MovieEndWatch movie;
    EncoderController encoder;
    encoder.setNEncodeVideoBitrate(uint64_t(size.bitrate));
    encoder.setStrVideoOutputFullPath(
        s.project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput()));
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::time_point from, Clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    };
    ExportRun run;
    const auto start = Clock::now();
    if (!encoder.encodeVideo_2_FIFO(&host))
        return run;
    std::optional<Clock::time_point> firstFrame;
    while (!movie.ended()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (!firstFrame && encoder.framesAppended() > 0)
            firstFrame = Clock::now();
    }
    const auto end = Clock::now();
    encoder.waitUntilFinished();
    run.ok = movie.finished && firstFrame;
    run.frames = encoder.framesAppended();
    run.wholeSeconds = seconds(start, end);
    if (firstFrame) {
        run.startSeconds = seconds(start, *firstFrame);
        run.streamSeconds = seconds(*firstFrame, end);
    }
    return run;
}

void report(benchmark::State& state, const ExportRun& run, const Size& size) {
    state.counters["fps"] = run.fps();
    state.counters["whole_fps"] = run.ok ? double(run.frames) / run.wholeSeconds : 0.0;
    state.counters["start_ms"] = run.startSeconds * 1000.0;
    state.counters["vs_memory"] = run.fps() / memoryRate(size);
}

void exportThroughPipe(benchmark::State& state) {
    const Size size = sizeOf(state);
    const QImage picture = photo(size.width, size.height);
    BenchPumpHost host([&] { return std::make_unique<PannedRenderer>(size, picture); });
    ExportRun run;
    for (auto _ : state)
        run = exportOnce(size, host);
    report(state, run, size);
}

double renderOnce(const Size& size) {
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    platform::NamedPipe pipe;
    pipe.create(stage().root + "/discard_fifo");
    std::thread reader([&] {
        platform::UniqueFd fd = platform::NamedPipe::openForReading(pipe.path());
        std::vector<char> scrap(1 << 20);
        while (::read(fd.get(), scrap.data(), scrap.size()) > 0) {
        }
    });
    DirectorFrameRenderer renderer(stage().director);
    FramePump::Options options;
    options.slides = stage().project->slideshowArray();
    options.pipePath = pipe.path();
    const auto start = std::chrono::steady_clock::now();
    const FramePump::Outcome outcome = FramePump::run(renderer, options);
    const double rate = double(outcome.framesRendered) /
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    reader.join();
    return rate;
}

std::map<int, double>& renderRates() {
    static std::map<int, double> rates;
    return rates;
}

// The rendering side alone: the real pump into a pipe whose reader throws the frames away.
void renderToDiscard(benchmark::State& state) {
    const Size size = sizeOf(state);
    renderOnce(size); // the first play waits for the photos to load
    double rate = 0.0;
    for (auto _ : state)
        rate = renderOnce(size);
    renderRates()[size.width] = rate;
    state.counters["fps"] = rate;
}

void exportRendered(benchmark::State& state) {
    const Size size = sizeOf(state);
    BenchPumpHost host(DirectorFrameRenderer::factory(stage().director));
    exportOnce(size, host); // the first play waits for the photos to load; it is not what is measured
    ExportRun run;
    for (auto _ : state) {
        TimedRenderer::reset();
        run = exportOnce(size, host);
    }
    report(state, run, size);
    if (!renderRates().count(size.width))
        renderRates()[size.width] = renderOnce(size);
    const double render = renderRates()[size.width], encode = memoryRate(size);
    // Against both bounds: the slower stage when drawing and encoding overlap on enough cores, and one
    // after the other when they share the cores.
    state.counters["vs_slower"] = run.fps() / std::min(render, encode);
    state.counters["vs_serial"] = run.fps() * (1.0 / render + 1.0 / encode);
    // Where the pump's time went in the last run.
    state.counters["draw_ms"] = TimedRenderer::renderSeconds * 1000.0;
    state.counters["write_ms"] = TimedRenderer::writeSeconds * 1000.0;
}

void sizes(benchmark::internal::Benchmark* bench) {
    bench->Args({640, 360})->Args({960, 540})->Args({1280, 720})->Args({1920, 1080});
    bench->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
}

} // namespace

BENCHMARK(encodeFromMemory)->Apply(sizes);
BENCHMARK(exportThroughPipe)->Apply(sizes);
BENCHMARK(renderToDiscard)->Apply(sizes);
BENCHMARK(exportRendered)->Apply(sizes);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    made.reset();
    return 0;
}
