// What a user waits for when exporting a movie, against what ffmpeg's own filter graph makes them wait for,
// on one generated show: camera-sized photos (4000 x 3000 JPEGs) brought in as an import brings them
// (slide pictures of at most 1280 for 720p or 1920 for 1080p, blurred backdrops of at most 640), 1.5 s each
// with 0.5 s transitions, the default theme, a tone as the song, at 1280 x 720 and 1920 x 1080 with the
// export's own settings.
//
// Every run is a process of its own, so that the CPU time and the peak resident memory getrusage gives for
// it are its own, and the contenders take turns run by run (export, ffmpeg, export, ffmpeg, ...):
//   export    the export command from its start to the finished movie: the sound mix, the start of the
//             pump and of the writer, every frame and the end of the file
//   ffmpeg    ffmpeg from its start to its exit, zoompan on each original photo and xfade between them,
//             the same size, preset, rates and AAC
// With --stages two more take their turns (their peaks are not comparable: the encoder's holds its frames):
//   encoder   the movie writer alone, fed from memory with frames the player drew (a 3 s window of the show
//             played forth and back for as many frames as the show has)
//   render    the player and the read-back alone: the real pump into a pipe whose reader drops the frames
// The tables give medians: frames a second, CPU ms a frame, peak memory, the export's ratios to ffmpeg, the
// time from the export's start to the first frame in its movie and, with --stages, to the encoder alone and
// to the limit the CPUs allow (cores x 1000 / (render + encoder CPU ms a frame)).
//
// Run: build-bench/bench/ExportSpeedBench [--photos N] [--runs N] [--sizes 720,1080] [--stages] [--quick]
// [--keep] (--quick: 6 photos, one run, 720p; --keep leaves the photos and shows for a child run by hand:
// ExportSpeedBench --child export --height 1080 --folder <kept>/1080 --photos N).
// VISTRELLE_BENCH_FRAMES=folder keeps every 7th frame the render stage draws as raw BGRA, so that the
// pictures of two builds can be compared.
#include "BenchProject.h"
#include "SpeedBenchRuns.h"
#include "export/EncoderController.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/HeapSettings.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NamedPipe.h"
#include "platform/gl/DriverLock.h"
#include "platform/media/MovieWriter.h"
#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"
#include "ui/main/PhotoResizeWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <thread>

#include <unistd.h>

namespace {

using bench::speed::Measure;
using bench::speed::Options;
using bench::speed::Size;

constexpr float kPhotoSeconds = 1.5f;
constexpr float kTransitionSeconds = 0.5f;
constexpr int kKeptFrames = 90; // the encoder's window of drawn frames

QString originalName(int index) {
    return QStringLiteral("photo_%1.jpg").arg(index, 2, 10, QLatin1Char('0'));
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

// The slides of the show, named as the files the import writes for them.
std::vector<SlideItemRef> showSlides(int photos) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < photos; ++i) {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(QStringLiteral("psd_%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        slide->setBackgroudImageFileName(QStringLiteral("psd_bk_%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        slide->customSetDurations(kPhotoSeconds, i + 1 < photos ? kTransitionSeconds : 0.0f);
        slides.push_back(slide);
    }
    return slides;
}

// ---- the parent: the photos, their import for each size, and the runs

struct Folders {
    QTemporaryDir root;
    QString originals() const { return root.path() + "/originals"; }
    QString show(int height) const { return root.path() + "/" + QString::number(height); }
};

// The frames of the show, or 0 when it cannot be made.
double prepare(const Folders& folders, const Options& options) {
    QDir().mkpath(folders.originals());
    for (int i = 0; i < options.photos; ++i)
        if (!largePhoto(i).save(folders.originals() + "/" + originalName(i), "JPEG", 90))
            return 0.0;
    double frames = 0.0;
    for (const int height : options.heights) {
        bench::Project show(folders.show(height));
        std::vector<SlideItemRef> slides = showSlides(options.photos);
        for (int i = 0; i < options.photos; ++i)
            if (!PhotoResizeWorker::loadAndResizeItem(
                    {folders.originals() + "/" + originalName(i), slides[std::size_t(i)], quint64(i)},
                    Size::of(height).importWidth))
                return 0.0;
        show.setShow(std::move(slides)); // writes the song
        frames = double(show.project->totalFrameCount());
    }
    return frames;
}

QStringList ffmpegArguments(const Folders& folders, const Options& options, const Size& size,
                            const QString& output) {
    const int n = options.photos;
    const int photo = int(std::lround(kPhotoSeconds * 30)),
              transition = int(std::lround(kTransitionSeconds * 30));
    QStringList arguments{"-y", "-nostdin", "-hide_banner", "-loglevel", "error"};
    for (int i = 0; i < n; ++i)
        arguments << "-i" << folders.originals() + "/" + originalName(i);
    arguments << "-i" << folders.show(size.height) + "/Bench.VistrelleProject/Contents/song.m4a";
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

int runAll(const Options& options) {
    Folders folders;
    folders.root.setAutoRemove(!options.keep);
    if (options.keep)
        std::printf("The photos and shows stay in %s\n", qPrintable(folders.root.path()));
    std::printf("Preparing %d photos and their import...\n", options.photos);
    std::fflush(stdout);
    const double frames = prepare(folders, options);
    if (frames <= 0) {
        std::fprintf(stderr, "Cannot prepare the show in %s\n", qPrintable(folders.root.path()));
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    bench::speed::Results results;
    std::vector<std::string> contenders = {"export", "ffmpeg"};
    if (options.stages)
        contenders.insert(contenders.end(), {"encoder", "render", "pool"});
    bench::speed::printLoad("start");
    for (int run = 0; run < options.runs; ++run)
        for (const int height : options.heights) {
            const Size size = Size::of(height);
            for (const std::string& name : contenders) {
                bench::speed::ChildRun child;
                if (name == "ffmpeg") {
                    child =
                        bench::speed::spawn("ffmpeg", ffmpegArguments(folders, options, size,
                                                                      folders.root.path() + "/graph.mp4"));
                    child.frames = frames;
                    child.seconds = child.processSeconds;
                } else {
                    child =
                        bench::speed::spawn(self, {"--child", QString::fromStdString(name), "--height",
                                                   QString::number(height), "--folder", folders.show(height),
                                                   "--photos", QString::number(options.photos)});
                }
                results.add(name, height, child, run);
            }
        }
    bench::speed::printLoad("end");
    results.print(options.stages);
    return 0;
}

// ---- a child: one run of one measure, its result on stdout

// Through the pipe, or through the encoder's pool of buffers (BGRA frames read back on the drawing thread).
Measure exportRun(bench::Project& show, bool pool = false) {
    const Size size = Size::of(int(SlideshowProject::sizeVideoOutput().height()));
    const bench::speed::Stopwatch watch;
    double firstFrame = 0.0;
    if (!bench::exportMovie(show, size.bitrate, pool, &firstFrame))
        return {};
    Measure measure = watch.measure(double(show.project->totalFrameCount()));
    measure.firstFrameSeconds = firstFrame;
    return measure;
}

// With VISTRELLE_BENCH_FRAMES set to a folder, every 7th frame of the render goes there as raw BGRA.
void dumpFrame(const std::vector<unsigned char>& frame, const QSize& size, int index) {
    const QString folder = qEnvironmentVariable("VISTRELLE_BENCH_FRAMES");
    if (folder.isEmpty() || index % 7 != 0)
        return;
    QFile file(
        QStringLiteral("%1/%2p_%3.bgra").arg(folder).arg(size.height()).arg(index, 4, 10, QLatin1Char('0')));
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(frame.data()), qint64(frame.size()));
}

// The whole show drawn into a pipe whose reader keeps the first `keep` frames.
Measure renderRun(bench::Project& show, std::vector<std::vector<unsigned char>>* kept) {
    const QSize size = SlideshowProject::sizeVideoOutput().toSize();
    platform::NamedPipe pipe;
    pipe.create(show.root + "/discard_fifo");
    std::thread reader([&] {
        platform::UniqueFd fd = platform::NamedPipe::openForReading(pipe.path());
        const std::size_t frameBytes = std::size_t(size.width()) * std::size_t(size.height()) * 4;
        std::vector<unsigned char> frame(frameBytes);
        std::size_t got = 0;
        int drawn = 0;
        for (ssize_t n; (n = ::read(fd.get(), frame.data() + got, frameBytes - got)) > 0;) {
            got += std::size_t(n);
            if (got < frameBytes)
                continue;
            got = 0;
            if (kept && kept->size() < kKeptFrames)
                kept->push_back(frame);
            if (!kept)
                dumpFrame(frame, size, drawn++);
        }
    });
    DirectorFrameRenderer renderer(show.director);
    FramePump::Options options;
    options.slides = show.project->slideshowArray();
    options.pipePath = pipe.path();
    options.skipFirstFrame = false;
    const bench::speed::Stopwatch watch;
    const FramePump::Outcome outcome = FramePump::run(renderer, options);
    const Measure measure = watch.measure(double(std::max<quint64>(outcome.framesRendered, 1)));
    reader.join();
    return measure;
}

Measure encoderRun(bench::Project& show) {
    std::vector<std::vector<unsigned char>> kept;
    renderRun(show, &kept);
    if (kept.size() < 2)
        return {};
    const Size size = Size::of(int(SlideshowProject::sizeVideoOutput().height()));
    const int frames = int(show.project->totalFrameCount());
    const std::vector<float> sound = bench::tone(double(frames) / 30.0 + 1.0);
    platform::media::MovieWriter::Settings settings;
    settings.path = show.root + "/memory.mp4";
    settings.frameSize = QSize(size.width, size.height);
    settings.videoBitRate = size.bitrate;
    settings.gopSize = EncoderController::kMaximumKeyFrameInterval;
    settings.audio = true;
    platform::media::MovieWriter writer(settings);
    const bench::speed::Stopwatch watch;
    writer.start();
    const int perFrame = 44100 / 30;
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
    return watch.measure(frames);
}

int runChild(const Options& options) {
    // The same looks and transitions in every run and build, so that pictures can be compared.
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(2026));
    const Size size = Size::of(options.childHeight);
    bench::Project show(options.childFolder);
    show.finish(showSlides(options.photos));
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    Measure measure;
    if (options.child == "export")
        measure = exportRun(show);
    else if (options.child == "render")
        measure = renderRun(show, nullptr);
    else if (options.child == "encoder")
        measure = encoderRun(show);
    else if (options.child == "pool")
        measure = exportRun(show, true);
    bench::speed::report(measure);
    std::fprintf(stderr, "GL driver lock: longest hold %.1f ms, held %.1f ms a frame\n",
                 double(platform::gl::DriverLock::longestHold().count()) / 1e6,
                 double(platform::gl::DriverLock::heldInAll().count()) / 1e6 / std::max(measure.frames, 1.0));
    return measure.frames > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = Options::parse(argc, argv);
    if (!options)
        return 2;
    if (options->child.empty()) {
        const QCoreApplication app(argc, argv);
        return runAll(*options);
    }
    platform::mapLargeBlocks(); // as the application starts
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    return runChild(*options);
}
