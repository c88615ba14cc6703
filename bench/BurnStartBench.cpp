// How long Burn keeps the document window from painting before the DVD run's progress window is up: the
// window as the application makes it, a show of photo slides (1920 x 1080 at the import's quality, each with
// its backdrop), Burn chosen from the window's menu into a disc image file, and a timer on the main thread
// that notes every turn of the event loop. Once the run's encode has begun (the menu's frames and slides are
// made) the run is cancelled from its progress window. Each run prints when the progress window was shown and
// first painted, when the encode began, and the longest time the event loop stood still in between.
//
// Run: build/bench/BurnStartBench [--photos N] [--runs N]   (12 photos, 3 runs; QT_QPA_PLATFORM=xcb under
// xvfb-run for a real window system, offscreen otherwise). Load the machine meanwhile (a few
// `yes >/dev/null` loops, or stress-ng) to see what a busy machine makes of it.
#include "BenchProject.h"
#include "dvd/DVDCommand.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "model/MainWindowServices.h"
#include "model/SlideshowProjectManager.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/HeapSettings.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowOutlets.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMainObject.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int photos = 12;
    int runs = 3;

    static bool parse(int argc, char** argv, Options& options) {
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            if (option == "--photos" && i + 1 < argc)
                options.photos = std::max(3, std::atoi(argv[++i]));
            else if (option == "--runs" && i + 1 < argc)
                options.runs = std::max(1, std::atoi(argv[++i]));
            else {
                std::fprintf(stderr, "usage: %s [--photos N] [--runs N]\n", argv[0]);
                return false;
            }
        }
        return true;
    }
};

// The burn set-up answered with a disc image file, as a user picks one.
class ImageDialogs : public MainWindowDialogs {
public:
    ImageDialogs(QWidget* window, ProjectSource project, QString image)
        : MainWindowDialogs(window, std::move(project)), image(std::move(image)) {}
    std::shared_ptr<platform::disc::DiscDrive> runBurnSetupPanel() override {
        QString error;
        auto drive =
            platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image), &error);
        if (!drive)
            std::fprintf(stderr, "no disc image drive: %s\n", qPrintable(error));
        return drive;
    }

private:
    QString image;
};

// When the progress window of the run was first shown and first painted.
class WindowWatch : public QObject {
public:
    Clock::time_point shown{}, painted{};

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (qobject_cast<ExportProgressWindowController*>(object)) {
            if (event->type() == QEvent::Show && shown == Clock::time_point{})
                shown = Clock::now();
            if (event->type() == QEvent::Paint && painted == Clock::time_point{})
                painted = Clock::now();
        }
        return false;
    }
};

std::vector<SlideItemRef> photoSlides(const bench::Project& show, int count) {
    std::vector<SlideItemRef> slides;
    for (int i = 0; i < count; ++i) {
        auto slide = bench::importedPhotoSlide(show, i);
        slide->customSetDurations(2.0f, 0.5f);
        slides.push_back(std::move(slide));
    }
    return slides;
}

double milliseconds(Clock::time_point from, Clock::time_point to) {
    return to == Clock::time_point{} ? -1.0 : std::chrono::duration<double, std::milli>(to - from).count();
}

// One Burn from the window's menu until its encode has begun, then Cancel; false when the run did not get
// there.
bool timeOneBurn(SlideshowMainObject& window, const MainWindowOutlets& outlets, int run) {
    WindowWatch watch;
    qApp->installEventFilter(&watch);
    std::vector<Clock::time_point> turns;
    Clock::time_point clicked{}, encoding{};
    // The creator of the run before, kept until the next encode.
    const std::shared_ptr<DVDMPEGIICreateObject> earlier =
        window.dvdCommand() ? window.dvdCommand()->dvdMpegIICreateObject() : nullptr;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        turns.push_back(Clock::now());
        const DVDCommand* dvd = window.dvdCommand();
        const auto creator = dvd ? dvd->dvdMpegIICreateObject() : nullptr;
        if (encoding == Clock::time_point{} && creator && creator != earlier &&
            dvd->stage() == DVDCommand::Stage::Encoding) {
            encoding = turns.back();
            if (ExportProgressWindowController* progress = window.exportProgressWC())
                progress->cancelButtonClicked();
        }
    });
    probe.start(5);
    QEventLoop loop;
    QTimer::singleShot(20, [&] {
        clicked = Clock::now();
        outlets.burnDVDMenuItem->trigger(); // returns once the progress window has ended
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    loop.exec();
    while (window.dvdCommand() && window.dvdCommand()->stage() != DVDCommand::Stage::Idle)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    probe.stop();
    qApp->removeEventFilter(&watch);

    double stall = 0.0;
    Clock::time_point last = clicked;
    for (const Clock::time_point turn : turns) {
        if (turn <= clicked)
            continue;
        if (encoding != Clock::time_point{} && turn > encoding)
            break;
        stall = std::max(stall, milliseconds(last, turn));
        last = turn;
    }
    std::printf("run %d: window shown %.0f ms, first painted %.0f ms, encode began %.0f ms after Burn; "
                "longest still event loop %.0f ms\n",
                run, milliseconds(clicked, watch.shown), milliseconds(clicked, watch.painted),
                milliseconds(clicked, encoding), stall);
    std::fflush(stdout);
    return encoding != Clock::time_point{};
}

int runBurns(const Options& options) {
    bench::Project show;
    const ProjectSource openProject = &SlideshowProject::currentMainProject;
    MainWindowView view(openProject);
    ImageDialogs dialogs(&view, openProject, show.root + "/disc.iso");
    SlideshowMainObject window(dialogs);
    MainWindowServices::setCurrent(&window);
    window.setOutlets(view.outlets());
    window.awakeFromNib();
    view.resize(1024, 700);
    view.show();
    if (!window.hostPreview()) {
        std::fprintf(stderr, "no preview here\n");
        return 1;
    }
    show.setShow(photoSlides(show, options.photos));
    // What the window's start-up leaves for 2 s later (it shows the open project again).
    QEventLoop settle;
    QTimer::singleShot(3000, &settle, &QEventLoop::quit);
    settle.exec();
    window.refreshUIForOpenProject();
    int status = 0;
    for (int run = 1; run <= options.runs && status == 0; ++run)
        if (!timeOneBurn(window, view.outlets(), run))
            status = 1;
    MainWindowServices::setCurrent(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Options::parse(argc, argv, options))
        return 2;
    platform::mapLargeBlocks(); // as the application starts
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication app(argc, argv);
    return runBurns(options);
}
