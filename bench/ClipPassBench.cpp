// What a movie export of a show of clips holds at its peak: threads, resident memory and open files, for a
// show of N clip slides (each clip a file of its own, all of one size and length, 4 s by default, as a
// phone makes them) against the same show with one clip and N - 1 photos of the clips' size and length in
// their place, and against that one clip alone. The export is the window's, at the clips' size. Every
// export runs in a process of its own, so that its peaks are its own (its threads and open files sampled
// every 2 ms from /proc, its memory as the kernel counted it), and the shows take turns run by run. The
// table gives the medians and what the show of N clips holds above the other two.
//
// Run: build-bench/bench/ClipPassBench [--clips N] [--runs N] [--height 720|1080] [--seconds N]
#include "BenchProject.h"
#include "CameraClip.h"
#include "ProcessFigures.h"
#include "SpeedBenchRuns.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/HeapSettings.h"
#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

struct Options {
    int clips = 12;
    int runs = 3;
    int height = 720;
    int seconds = 4;
    // A child's show: its folder, its clip file, how many slides of it and how many photos after them.
    QString childFolder;
    QString childClip;
    int childClips = 0;
    int childPhotos = 0;

    static bool parse(int argc, char** argv, Options& options) {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            const int number = value ? std::atoi(value) : 0;
            if (option == "--clips" && number > 1)
                options.clips = number;
            else if (option == "--runs" && number > 0)
                options.runs = number;
            else if (option == "--height" && (number == 720 || number == 1080))
                options.height = number;
            else if (option == "--seconds" && number > 1)
                options.seconds = number;
            else if (option == "--child-folder" && value)
                options.childFolder = QString::fromLocal8Bit(value);
            else if (option == "--child-clip" && value)
                options.childClip = QString::fromLocal8Bit(value);
            else if (option == "--child-clips" && number > 0)
                options.childClips = number;
            else if (option == "--child-photos" && value)
                options.childPhotos = number;
            else {
                std::fprintf(stderr, "usage: %s [--clips N] [--runs N] [--height 720|1080] [--seconds N]\n",
                             argv[0]);
                return false;
            }
        }
        return true;
    }
};

// ---- a child: one export of a show, its peaks on stdout

std::vector<SlideItemRef> showSlides(const bench::Project& show, const Options& options, QSize size) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < options.childClips; ++i) {
        const QString path = show.project->strProjectVideoFileDirectory() +
                             QStringLiteral("/clip_%1.mp4").arg(i, 2, 10, QChar('0'));
        if (!QFile::exists(path) && !QFile::copy(options.childClip, path))
            return {};
        auto clip = platform::makeMainThreadShared<VideoSlideItem>();
        clip->PrepareVideoItem(path);
        slides.push_back(std::move(clip));
    }
    // Photos as long as the clip slides before them, transitions and all.
    for (int i = 0; i < options.childPhotos && !slides.empty(); ++i) {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 30 % 360, 160, 200));
        QPainter(&picture).fillRect(size.width() / 4, size.height() / 4, size.width() / 2, size.height() / 2,
                                    Qt::white);
        const QString name = QStringLiteral("photo_%1.jpg").arg(i, 2, 10, QChar('0'));
        if (!picture.save(show.contents + "/" + name, "JPEG", 90))
            return {};
        auto photo = platform::makeMainThreadShared<SlideItem>();
        photo->setFileName(name);
        photo->customSetDurations(slides[0]->fSecPhotoDuration(), slides[0]->fSecTransitionDuration());
        slides.push_back(std::move(photo));
    }
    return slides;
}

int runChild(const Options& options) {
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(2026));
    const bench::speed::Size size = bench::speed::Size::of(options.height);
    bench::Project show(options.childFolder);
    std::vector<SlideItemRef> slides = showSlides(show, options, QSize(size.width, size.height));
    if (slides.empty())
        return 1;
    show.finish(std::move(slides));
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    const bench::ProcessFigures before = bench::processFigures();
    bench::PeakSampler sampler;
    const bench::speed::Stopwatch watch;
    const bool exported = bench::exportMovie(show, size.bitrate);
    const bench::speed::Measure measure = watch.measure(double(show.project->totalFrameCount()));
    const bench::ProcessFigures peaks = sampler.stop();
    std::printf("PEAKS %d %d %d %d\n", peaks.threads, peaks.files, before.threads, before.files);
    bench::speed::report(exported ? measure : bench::speed::Measure{});
    return exported ? 0 : 1;
}

// ---- the parent: the clip, then the exports of both shows in turns

struct Row {
    double threads = 0, files = 0, peakMB = 0, seconds = 0, frames = 0;
};

double median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Show {
    int clips, photos;
    std::string name() const {
        return std::to_string(clips) + (clips == 1 ? " clip" : " clips") +
               (photos > 0 ? " + " + std::to_string(photos) + " photos" : "");
    }
};

int runAll(const Options& options) {
    QTemporaryDir root;
    const QSize clipSize = options.height == 1080 ? QSize(1920, 1080) : QSize(1280, 720);
    const QString clip = root.path() + "/clip.mp4";
    std::printf("Writing a clip of %d x %d, %d s...\n", clipSize.width(), clipSize.height(), options.seconds);
    std::fflush(stdout);
    if (!bench::writeCameraClip(clip, clipSize, options.seconds)) {
        std::fprintf(stderr, "The clip could not be written in %s\n", qPrintable(root.path()));
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const std::vector<Show> shows = {{1, 0}, {1, options.clips - 1}, {options.clips, 0}};
    std::map<int, std::vector<Row>> rows; // by show
    bench::speed::printLoad("start");
    for (int run = 0; run < options.runs; ++run)
        for (std::size_t s = 0; s < shows.size(); ++s) {
            const Show& show = shows[s];
            const bench::speed::ChildRun child = bench::speed::spawn(
                self, {"--child-folder", root.path() + QStringLiteral("/show%1").arg(s), "--child-clip", clip,
                       "--child-clips", QString::number(show.clips), "--child-photos",
                       QString::number(show.photos), "--height", QString::number(options.height)});
            int threadsBefore = 0, filesBefore = 0, threads = 0, files = 0;
            const qsizetype at = child.output.indexOf("PEAKS ");
            if (!child.ok || at < 0 ||
                std::sscanf(child.output.constData() + at, "PEAKS %d %d %d %d", &threads, &files,
                            &threadsBefore, &filesBefore) != 4) {
                std::printf("run %d, %-18s failed\n", run + 1, show.name().c_str());
                continue;
            }
            const Row row{double(threads), double(files), child.peakBytes / 1e6, child.seconds, child.frames};
            rows[int(s)].push_back(row);
            std::printf(
                "run %d, %-18s %4.0f threads (%d before), %3.0f files open (%d before), peak %5.0f MB, "
                "%5.0f frames in %5.1f s\n",
                run + 1, show.name().c_str(), row.threads, threadsBefore, row.files, filesBefore, row.peakMB,
                row.frames, row.seconds);
            std::fflush(stdout);
        }
    bench::speed::printLoad("end");
    const auto middle = [&](std::size_t s, double Row::*field) {
        std::vector<double> values;
        for (const Row& row : rows[int(s)])
            values.push_back(row.*field);
        return median(values);
    };
    std::printf("\nmedians of %d runs, %dp clips of %d s\n%-38s %8s %12s %9s\n", options.runs, options.height,
                options.seconds, "show", "threads", "files open", "peak MB");
    for (std::size_t s = 0; s < shows.size(); ++s)
        std::printf("%-38s %8.0f %12.0f %9.0f\n", shows[s].name().c_str(), middle(s, &Row::threads),
                    middle(s, &Row::files), middle(s, &Row::peakMB));
    const std::size_t many = shows.size() - 1;
    for (std::size_t s = 0; s < many; ++s)
        std::printf("%-38s %+8.0f %+12.0f %+9.0f\n",
                    (shows[many].name() + " above " + shows[s].name()).c_str(),
                    middle(many, &Row::threads) - middle(s, &Row::threads),
                    middle(many, &Row::files) - middle(s, &Row::files),
                    middle(many, &Row::peakMB) - middle(s, &Row::peakMB));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Options::parse(argc, argv, options))
        return 2;
    if (options.childFolder.isEmpty()) {
        const QCoreApplication app(argc, argv);
        return runAll(options);
    }
    platform::mapLargeBlocks(); // as the application starts
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    return runChild(options);
}
