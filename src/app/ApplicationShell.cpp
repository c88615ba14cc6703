#include "app/ApplicationShell.h"

#include "platform/foundation/HeapSettings.h"

#include "app/AppDelegate.h"
#include "app/CacheFolderUse.h"
#include "app/MoveToApplications.h"
#include "app/SingleInstance.h"
#include "dvd/DVDCommand.h"
#include "export/EncoderController.h"
#include "export/NSAudioMixerObject.h"
#include "model/MusicDirector.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "ui/main/ApplicationLook.h"
#include "ui/main/MainWindowDialogs.h"
#include "ui/main/MainWindowView.h"
#include "ui/main/SlideshowMainObject.h"
#include "ui/main/SlideshowMenus.h"
#include "ui/upload/NetOAuth2SignInWindow.h"
#include "ui/upload/VideoSiteUploaderObject.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

bool displayAvailable() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList documentArguments(const QStringList& arguments) {
    QStringList documents;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments[i].startsWith('-'))
            documents.append(arguments[i]);
    return documents;
}

void connectProjectCommands(const MainWindowView& window, AppDelegate& delegate) {
    QObject::connect(window.newProjectAction(), &QAction::triggered, &delegate,
                     [&delegate] { delegate.newProjectFile(); });
    QObject::connect(window.openProjectAction(), &QAction::triggered, &delegate,
                     [&delegate] { delegate.openProjectFile(); });
    QObject::connect(window.saveProjectAction(), &QAction::triggered, &delegate,
                     [&delegate] { delegate.saveProjectFile(); });
    QObject::connect(window.projectPropertiesAction(), &QAction::triggered, &delegate,
                     [&delegate] { delegate.editProjectProperties(); });
}

QString claimRefusal(const SingleInstance& instance) {
    if (instance.obstacle().isEmpty())
        return tr_("Vistrelle is already running: go on in its window.");
    return tr_("Vistrelle cannot start: \"%1\" stands where it marks that it is running, and %2. "
               "Remove \"%1\", then start Vistrelle again.")
        .arg(instance.obstacle(), instance.obstacleReason());
}

AppDelegate::StartupHooks startupHooks() {
    // Held as long as the hooks are: the delegate's life, which is the run's.
    auto cache = std::make_shared<CacheFolderUse>(platform::paths::largeTemporaryFolder());
    return {.deleteTempFiles =
                [cache] {
                    cache->removeLeftoversWhenAlone([] {
                        DVDCommand::deleteRunFiles();
                        SlideshowProject::deleteEncodingVideoFiles();
                    });
                    // Each pipe is named after its process, in a runtime folder no other running copy uses.
                    EncoderController::deleteOrphanedVideoFIFOs();
                    // Judged file by file: the output folder is shared by every copy.
                    DVDCommand::deleteFilesOfKilledRuns();
                },
            .moveToApplicationsOffer = offerMoveToApplicationsFolder};
}

namespace {

// Keeps the main window open when the delegate says the application may not end yet (edits that could not
// be saved and that the user chose to keep). Quitting closes the window first, so it asks too.
class CloseGuard : public QObject {
public:
    CloseGuard(QWidget& window, AppDelegate& delegate) : delegate(delegate) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && !delegate.applicationShouldTerminate()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    AppDelegate& delegate;
};

// Lets go, as the run ends, of what it keeps open to its end.
class OpenToTheEnd {
public:
    OpenToTheEnd() = default;
    OpenToTheEnd(const OpenToTheEnd&) = delete;
    OpenToTheEnd& operator=(const OpenToTheEnd&) = delete;
    ~OpenToTheEnd() { letGoOfWhatTheRunKeptOpen(); }
};

// Answers that need no display, printed before anything graphical starts.
const char* const kUsage =
    "Usage: vistrelle [options] [project folder]\n"
    "\n"
    "Vistrelle turns photos, video clips and music into a slideshow.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "A project folder (\"<title>.VistrelleProject\") named on the command line is opened at start.\n"
    "Vistrelle needs a graphical display; on a machine without one, start it under a virtual display\n"
    "(xvfb-run -a vistrelle).\n";

} // namespace

// Left to the statics' end after main returns, the open project would go after this thread's lock
// bookkeeping and beside the GL library's own end.
void letGoOfWhatTheRunKeptOpen() {
    MainWindowServices::setCurrent(nullptr);
    SlideshowProject::retainProject(nullptr);
    // Slides and songs that a thread let go of last wait to be destroyed on this thread. The rest of its
    // queue stays unrun: the window and the controllers it was meant for are gone.
    platform::destroyPendingOnMainThread();
}

int runApplication(int argc, char** argv) {
    platform::mapLargeBlocks();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vistrelle %s\n", VISTRELLE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!displayAvailable()) {
        std::fprintf(
            stderr,
            "Vistrelle needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are "
            "unset).\nRun it from a desktop session, or on a headless machine under a virtual display:\n"
            "  xvfb-run -a ./scripts/run\n");
        return 1;
    }
    platform::ignoreSigpipe();
    // The clip player decodes with the FFmpeg libraries the rest of the program uses, not system plugins.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vistrelle");
    QApplication::setApplicationVersion(VISTRELLE_VERSION);

    application_look::apply(app);

    SingleInstance instance(SingleInstance::claimedFolders());
    if (!instance.claim()) {
        const QString message = claimRefusal(instance);
        std::fprintf(stderr, "%s\n", qPrintable(message));
        QMessageBox::information(nullptr, QStringLiteral("Vistrelle"), message);
        return 1;
    }

    // Goes after everything below, which may hold the project too.
    const OpenToTheEnd openToTheEnd;
    // What the interface file makes: the window, the dialogs over it, the controller and the delegate.
    // The one place the window's parts learn which project is open: the model's.
    const ProjectSource openProject = &SlideshowProject::currentMainProject;
    MainWindowView window(openProject);
    // The preview's music is mixed by the export layer's mixer.
    MusicDirector::setAudioMixerFactory([] { return NSAudioMixerObject::installNewMixer(); });
    // The video service's sign-in shows its window over the main window.
    NetOAuth2SignInWindow::install();
    MainWindowDialogs dialogs(&window, openProject);
    SlideshowMainObject mainObject(dialogs);
    MainWindowServices::setCurrent(&mainObject);
    mainObject.setOutlets(window.outlets());
    // The video service's share target, after the controller: both answer the share choice, the controller
    // first, and the controller says whether the show can be shared before the uploader signs in.
    VideoSiteUploaderObject uploader(dialogs, &window, [&mainObject] { return mainObject.refusesToShare(); });
    int status = 0;
    {
        AppDelegate delegate(dialogs);
        delegate.setMainObject(&mainObject);
        delegate.setStartupHooks(startupHooks());
        connectProjectCommands(window, delegate);
        const CloseGuard closeGuard(window, delegate);
        delegate.awakeFromNib();
        // The preview's set-up asks for the open project first; until it exists, the shell does.
        SlideshowProject::mainProject();
        mainObject.awakeFromNib();
        const SlideshowMenus slideMenus(window, mainObject);
        uploader.awakeFromNib();
        window.show();
        // Where no window manager hands the new window the keyboard (a bare X server), Space would not play
        // until a click.
        window.activateWindow();
        mainObject.hostPreview();
        const QStringList documents = documentArguments(QApplication::arguments());
        if (!documents.isEmpty())
            delegate.openFiles(documents);
        QTimer::singleShot(0, &delegate, [&delegate] { delegate.applicationDidFinishLaunching(); });
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                         [&delegate] { delegate.applicationWillTerminate(); });
        status = app.exec();
    }
    platform::paths::releaseTemporaryFolders();
    return status;
}
