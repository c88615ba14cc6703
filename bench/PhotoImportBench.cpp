// What the photo import costs a photo as cameras make them: photos of 24, 45 and 108 million pixels (JPEGs
// as a camera writes them), each imported as Add Photos imports it (its timeline thumbnail, then its slide
// picture and blurred backdrop at 1080p's size), 20 times in a process of its own. Prints each run's time a
// photo, CPU time a photo and the process's peak memory as the kernel counted it, then their medians and
// the largest photo's ratios to the smallest: a photo is read at the size the import needs, so time grows
// far slower than pixels, and memory not at all.
//
// Run: build-bench/bench/PhotoImportBench [--photos N] [--runs N]
#include "BenchProject.h"
#include "SpeedBenchRuns.h"
#include "ui/main/PhotoImporter.h"
#include "ui/main/PhotoResizeWorker.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSlideWidth = 1920;

struct Camera {
    const char* name;
    QSize size;
};
const Camera kCameras[] = {
    {"24 MP", {6000, 4000}},
    {"45 MP", {8256, 5504}},
    {"108 MP", {12000, 9000}},
};

struct Options {
    int photos = 20;
    int runs = 3;
    QString childPhoto; // a child imports this photo `photos` times

    static bool parse(int argc, char** argv, Options& options) {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            const int number = value ? std::atoi(value) : 0;
            if (option == "--photos" && number > 0)
                options.photos = number;
            else if (option == "--runs" && number > 0)
                options.runs = number;
            else if (option == "--child-photo" && value)
                options.childPhoto = QString::fromLocal8Bit(value);
            else {
                std::fprintf(stderr, "usage: %s [--photos N] [--runs N]\n", argv[0]);
                return false;
            }
        }
        return true;
    }
};

// ---- a child: the import of one photo, again and again, into a project of its own

int importPhotos(const Options& options) {
    bench::Project show;
    const bench::speed::Stopwatch watch;
    for (int i = 0; i < options.photos; ++i) {
        const SlideItemRef slide = PhotoImporter::newPhotoSlide(*show.project, options.childPhoto);
        if (!PhotoResizeWorker::writeThumbnail(options.childPhoto, slide->strThumbFileName()) ||
            !PhotoResizeWorker::loadAndResizeItem({options.childPhoto, slide, quint64(i)}, kSlideWidth))
            return 1;
    }
    bench::speed::report(watch.measure(options.photos));
    return 0;
}

// ---- the parent: the photos, and the runs taking turns

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

struct Figures {
    std::vector<double> msPerPhoto, cpuMsPerPhoto, peakMB;
};

int run(const Options& options, const char* program) {
    QTemporaryDir folder;
    std::map<std::string, QString> photos;
    for (const Camera& camera : kCameras) {
        const QString path = folder.path() + "/" + QString::number(camera.size.width()) + ".jpg";
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        if (!writer.write(bench::photoLike(camera.size, 1)))
            return 1;
        photos[camera.name] = path;
    }
    bench::speed::printLoad("before");
    std::map<std::string, Figures> figures;
    for (int round = 0; round < options.runs; ++round)
        for (const Camera& camera : kCameras) {
            const bench::speed::ChildRun child = bench::speed::spawn(
                program, {"--photos", QString::number(options.photos), "--child-photo", photos[camera.name]});
            if (!child.ok)
                return 1;
            Figures& f = figures[camera.name];
            f.msPerPhoto.push_back(child.seconds * 1000.0 / child.frames);
            f.cpuMsPerPhoto.push_back(child.cpuSeconds * 1000.0 / child.frames);
            f.peakMB.push_back(child.peakBytes / 1e6);
            std::printf("run %d %-7s %8.1f ms a photo %8.1f CPU ms a photo %8.1f MB peak\n", round + 1,
                        camera.name, f.msPerPhoto.back(), f.cpuMsPerPhoto.back(), f.peakMB.back());
            std::fflush(stdout);
        }
    bench::speed::printLoad("after");
    std::printf("\nmedians of %d runs, %d photos each\n", options.runs, options.photos);
    for (const Camera& camera : kCameras) {
        const Figures& f = figures[camera.name];
        std::printf("%-7s %8.1f ms a photo %8.1f CPU ms a photo %8.1f MB peak\n", camera.name,
                    median(f.msPerPhoto), median(f.cpuMsPerPhoto), median(f.peakMB));
    }
    const Figures& small = figures[kCameras[0].name];
    const Figures& large = figures[kCameras[2].name];
    std::printf("108 MP / 24 MP: %.2f x the time, %.2f x the peak memory, for %.1f x the pixels\n",
                median(large.msPerPhoto) / median(small.msPerPhoto),
                median(large.peakMB) / median(small.peakMB), 108.0 / 24.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    Options options;
    if (!Options::parse(argc, argv, options))
        return 2;
    return options.childPhoto.isEmpty() ? run(options, argv[0]) : importPhotos(options);
}
