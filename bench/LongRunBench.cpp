// Whether a long session's memory, threads and open files level off: many movie exports of one show in one
// process, or hundreds of Play and Stop, either of the preview's own view (its display link at 60 Hz, the
// player drawing on the link's thread, the slide loader ahead of it) or of the document window's (its Play
// and Stop, the show's music and all). The show is photos of 1280 x 720 and composition slides (our own
// format), 2 s each with 0.5 s transitions, three of each unless told, with a clip slide when asked. After
// every export, or every so many plays, it prints what the process holds: resident memory, threads, open
// files, and the allocator's view of its heaps (what they hold, how much of it is free, and the large blocks
// mapped for themselves); with --trim, again once the heaps' free memory is given back as the window gives it
// back after an export and at a Stop (which the window's plays do in any case).
//
// Run: build-bench/bench/LongRunBench [--exports N] [--height 720|1080] [--plays N] [--window] [--every N]
//      [--frames N] [--photos N] [--compositions N] [--clip] [--trim] [--malloc-info]
// (10 exports at 720p by default, or with --plays the plays instead, of the window with --window; --every:
// print every N plays, 25; --frames: frames drawn in each play, 10; --malloc-info: the allocator's report of
// its arenas at the end.)
#include "BenchPreview.h"
#include "BenchProject.h"
#include "CameraClip.h"
#include "ProcessFigures.h"
#include "SpeedBenchRuns.h"
#include "export/NSAudioMixerObject.h"
#include "model/MainWindowServices.h"
#include "model/MusicDirector.h"
#include "model/QuartzSlideItem.h"
#include "model/VideoSlideItem.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/HeapSettings.h"
#include "platform/foundation/MainThread.h"
#include "render/NSGLView.h"
#include "render/SlideshowDirector.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMainObject.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <malloc.h>

namespace {

const QByteArray kComposition = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>Format</key><string>VistrelleComposition</string>
  <key>Version</key><integer>1</integer>
  <key>Inputs</key><array><string>percentDone</string></array>
  <key>Layers</key><array>
    <dict><key>Type</key><string>Fill</string><key>Period</key><real>2</real>
      <key>Colors</key><array><array><real>0.1</real><real>0.2</real><real>0.5</real></array>
        <array><real>0.6</real><real>0.3</real><real>0.1</real></array></array></dict>
    <dict><key>Type</key><string>Rect</string>
      <key>Rect</key><array><real>0.1</real><real>0.1</real><real>0.4</real><real>0.3</real></array>
      <key>Color</key><array><real>1</real><real>1</real><real>1</real></array></dict>
    <dict><key>Type</key><string>Progress</string>
      <key>Rect</key><array><real>0</real><real>0.9</real><real>1</real><real>0.1</real></array>
      <key>Color</key><array><real>0</real><real>1</real><real>0</real></array></dict>
  </array>
</dict></plist>
)";

struct Options {
    int exports = 10;
    int plays = 0;
    int every = 25;
    int frames = 10;
    int height = 720;
    int photos = 3;
    int compositions = 3;
    bool window = false;
    bool trim = false;
    bool clip = false;
    bool mallocInfo = false;

    static bool parse(int argc, char** argv, Options& options) {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            const auto number = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
            if (option == "--exports")
                options.exports = number();
            else if (option == "--plays")
                options.plays = number();
            else if (option == "--every")
                options.every = std::max(1, number());
            else if (option == "--frames")
                options.frames = std::max(1, number());
            else if (option == "--height")
                options.height = number() == 1080 ? 1080 : 720;
            else if (option == "--photos")
                options.photos = std::max(0, number());
            else if (option == "--compositions")
                options.compositions = std::max(0, number());
            else if (option == "--trim")
                options.trim = true;
            else if (option == "--window")
                options.window = true;
            else if (option == "--clip")
                options.clip = true;
            else if (option == "--malloc-info")
                options.mallocInfo = true;
            else {
                std::fprintf(
                    stderr,
                    "usage: %s [--exports N] [--height 720|1080] [--plays N] [--window] [--every N] "
                    "[--frames N] [--photos N] [--compositions N] [--clip] [--trim] [--malloc-info]\n",
                    argv[0]);
                return false;
            }
        }
        return true;
    }
};

void printFigures(const char* what, int count) {
    const bench::ProcessFigures now = bench::processFigures();
    const struct mallinfo2 heap = mallinfo2();
    std::printf(
        "%-7s %4d: resident %6.0f MB, %3d threads, %3d files open; the allocator holds %6.1f MB in its "
        "heaps (%6.1f MB of it free) and %5.1f MB in blocks mapped for themselves\n",
        what, count, now.residentMB, now.threads, now.files, double(heap.arena) / 1e6,
        double(heap.fordblks) / 1e6, double(heap.hblkhd) / 1e6);
    std::fflush(stdout);
}

// Photos of 1280 x 720 and composition slides in turn (the compositions after the photos when there are more
// of them), with a clip slide in the middle when asked.
std::vector<SlideItemRef> showSlides(bench::Project& show,
                                     const std::shared_ptr<platform::gl::Context>& context,
                                     const Options& options) {
    const QString composition = show.root + "/bars.vcomp";
    QFile file(composition);
    if (file.open(QIODevice::WriteOnly))
        file.write(kComposition);
    file.close();
    std::vector<SlideItemRef> slides;
    const int count = options.photos + options.compositions;
    for (int i = 0, photos = 0; i < count; ++i) {
        if (options.clip && i == count / 2) {
            const QString path = show.project->strProjectVideoFileDirectory() + "/clip.mp4";
            bench::writeCameraClip(path, QSize(1280, 720), 3);
            auto clip = platform::makeMainThreadShared<VideoSlideItem>();
            clip->PrepareVideoItem(path);
            slides.push_back(std::move(clip));
        }
        if ((i % 2 == 1 || photos == options.photos) && i - photos < options.compositions) {
            auto slide = platform::makeMainThreadShared<QuartzSlideItem>();
            slide->setStrQuartzFilePath(composition);
            slide->customSetDurations(2.0f, 0.5f);
            slide->openComposition(context);
            slides.push_back(std::move(slide));
            continue;
        }
        QImage picture(1280, 720, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 50 % 360, 160, 200));
        QPainter(&picture).fillRect(200 + i * 100 % 600, 150, 400, 300, Qt::white);
        const QString name = QStringLiteral("photo_%1.jpg").arg(i);
        picture.save(show.contents + "/" + name, "JPEG", 90);
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        slide->customSetDurations(2.0f, 0.5f);
        slides.push_back(std::move(slide));
        ++photos;
    }
    return slides;
}

int runExports(const Options& options) {
    bench::Project show;
    show.startPlayer();
    show.setShow(showSlides(show, show.context, options));
    const bench::speed::Size size = bench::speed::Size::of(options.height);
    SlideshowProject::setSizeVideoOutput(QSizeF(size.width, size.height));
    printFigures("start", 0);
    for (int n = 1; n <= options.exports; ++n) {
        if (!bench::exportMovie(show, size.bitrate)) {
            std::fprintf(stderr, "export %d failed\n", n);
            return 1;
        }
        printFigures("export", n);
        if (options.trim) { // as the window does once an export has ended
            platform::returnFreeHeapMemory();
            printFigures("trimmed", n);
        }
    }
    return 0;
}

int runPlays(const Options& options) {
    bench::Project show;
    BenchPreview preview;
    NSGLView view(&preview);
    view.prepareOpenGL();
    view.reshape(QSize(960, 540));
    show.setShow(showSlides(show, view.mainContext(), options));
    printFigures("start", 0);
    for (int n = 1; n <= options.plays; ++n) {
        preview.playUntil(*show.project,
                          [&] { return preview.director->nCurrentFrame() >= quint64(options.frames); });
        show.project->resetPlayerToBegin();
        if (n % options.every == 0) {
            printFigures("plays", n);
            if (options.trim) { // as the window's Stop does
                platform::returnFreeHeapMemory();
                printFigures("trimmed", n);
            }
        }
    }
    return 0;
}

// The window as the application makes it, its preview hosted, playing the show by its own Play and Stop.
int runWindowPlays(const Options& options) {
    bench::Project show;
    const ProjectSource openProject = &SlideshowProject::currentMainProject;
    MainWindowView window(openProject);
    MusicDirector::setAudioMixerFactory([] { return NSAudioMixerObject::installNewMixer(); });
    MainWindowDialogs dialogs(&window, openProject);
    SlideshowMainObject mainObject(dialogs);
    MainWindowServices::setCurrent(&mainObject);
    mainObject.setOutlets(window.outlets());
    mainObject.awakeFromNib();
    window.resize(1024, 700);
    window.show();
    if (!mainObject.hostPreview())
        return 1;
    show.setShow(showSlides(show, mainObject.mainContext(), options));
    // What the window's start-up leaves for 2 s later (it shows the open project again, stopping any play).
    QEventLoop settle;
    QTimer::singleShot(3000, &settle, &QEventLoop::quit);
    settle.exec();
    mainObject.refreshUIForOpenProject();
    printFigures("start", 0);
    for (int n = 1; n <= options.plays; ++n) {
        mainObject.play();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            const auto director = mainObject.director();
            if (director && director->directorStatus() == 1 &&
                director->nCurrentFrame() >= quint64(options.frames))
                loop.quit();
        });
        poll.start(5);
        loop.exec();
        mainObject.stop();
        QCoreApplication::processEvents();
        if (n % options.every == 0)
            printFigures("plays", n);
    }
    MainWindowServices::setCurrent(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Options::parse(argc, argv, options))
        return 2;
    platform::mapLargeBlocks(); // as the application starts
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_MEDIA_BACKEND", "ffmpeg"); // as the application plays sound
    const QApplication app(argc, argv);
    platform::RandomSource::setShared(std::make_shared<platform::SeededRandom>(2026));
    const int status = options.plays == 0 ? runExports(options)
                       : options.window   ? runWindowPlays(options)
                                          : runPlays(options);
    if (options.mallocInfo)
        malloc_info(0, stdout);
    return status;
}
