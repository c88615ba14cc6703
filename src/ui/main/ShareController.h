#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/Scheduler.h"
#include "ui/editing/ProjectSource.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class AWAttachedWindow;
class ControllerDialogs;
class DVDCommand;
class ExportProgressWindowController;
class MovieExportCommand;
class MP4ExportCommand;
class SlideshowDirector;
class SlideshowMainObject;
class SlideshowProject;
struct MainWindowOutlets;
namespace platform {
struct Notification;
}

// The share side of the document window: the share choices and their call-out, the movie settings, the
// movie export under its progress window, the finish of a movie (the record, the move into the output
// folder, the hand-off to the upload), the cancel, the burn set-up before the DVD command and the DVD
// commands that encode. It owns the movie export, the MP4 export and the DVD command, made anew for every
// player, and the progress window of the last export. What it does to the preview and the music goes
// through the window's controller. Main thread only.
class ShareController : public QObject {
    Q_OBJECT
public:
    // `project` is the open project as it is now; `openProject` the one the share choice and the music fit
    // use, which makes the open project when none was made yet.
    ShareController(SlideshowMainObject& hub, ControllerDialogs& dialogs, platform::Scheduler& scheduler,
                    const MainWindowOutlets& outlets, ProjectSource project, ProjectSource openProject);
    // The commands go first, then what is queued, the call-out and the progress window.
    ~ShareController() override;

    // The commands, playing through this player; none without one.
    void makeExportCommands(const std::shared_ptr<SlideshowDirector>& director);
    // The share menu's commands, the hidden Burn DVD button and the website command.
    void connectActions();

    // ---- the share choices
    // The Share button: the call-out of the four targets; a second click closes it.
    void shareButtonClicked();
    void closeShareCallOut();
    // The share menu at the pointer.
    void popUpShareMenu();
    // The preview stopped, then share choice 0 to 3 posted.
    void shareChoice(int choice);
    void shareOptionChosen(const platform::Notification& notification);
    // The movie settings; their OK queues the export.
    void signedIn();
    void videoInfoEditDone();
    void openWebsite();

    // ---- the end of an export
    void createVideoFileEnded();
    void cancelEncoding();

    // ---- the DVD
    // The burn set-up, then the DVD command.
    void burnDVD();
    void encodeDVDMenu();
    void testMpegSpumux();
    // The show's stream alone; a stream picked in an open panel authored and burnt.
    void encodeDVDSlideshow();
    void startDVDAuthor();

    bool isEncoding() const;
    bool isExportRunning() const;
    // True while the show cannot be shared yet: an export runs, or slides or their pictures are still being
    // added, which is said. Asked before the user is asked anything (sign-in, settings, burn set-up).
    bool refusesToShare();
    AWAttachedWindow* attachedWindow() const;
    ExportProgressWindowController* exportProgressWC() const;
    MovieExportCommand* movieExportCommand() const { return movieCommand.get(); }
    MP4ExportCommand* mp4ExportCommand() const { return mp4Command.get(); }
    DVDCommand* dvdCommand() const { return dvd.get(); }

private:
    // True, having said why, while photos or clips are still being added or their pictures still being made:
    // the show is shared once they are in.
    bool refusedWhileImporting();
    void dropExportCommands();
    QString serviceName() const;
    bool fitMusicBeforeExport();
    ExportProgressWindowController& newExportProgressWindow(const QString& windowTitle);
    bool beginDVDStep(const QString& windowTitle);
    void showCurrentSlideWhenExportEnds();
    void showMovieFileResult(const QString& moved, const QString& error);
    void postContinueUpload(const QString& sourcePath, const std::optional<platform::FileIdentity>& written);

    SlideshowMainObject& hub;
    ControllerDialogs& userDialogs;
    platform::Scheduler& clock;
    const MainWindowOutlets& ui;
    ProjectSource project;
    ProjectSource openProject;

    std::unique_ptr<MovieExportCommand> movieCommand;
    std::unique_ptr<MP4ExportCommand> mp4Command;
    std::unique_ptr<DVDCommand> dvd;
    QPointer<ExportProgressWindowController> exportWindow;
    QPointer<AWAttachedWindow> shareCallOut;
    platform::Scheduler::Handle queuedEditDone;
    platform::Scheduler::Handle queuedShareResult;
    platform::Scheduler::Handle exportEndWatch;
};
