#pragma once

#include "dvd/DVDProjectSettings.h"
#include "dvd/DVDStepError.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UniqueFd.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class SpumuxObject;
class StreamedChildProcess;

// How an authoring ended.
struct DVDAuthorOutcome {
    enum Kind { Running, Finished, Cancelled, Failed };
    Kind kind = Running;
    DVDStepError error; // set when Failed
};

// Turns the slideshow's MPEG-2 stream (and the menu's, when the project has a menu) into a DVD-Video
// folder "tttDVD1" in the private temporary folder, made anew and exclusively, mode 0700, with its "VIDEO_TS"
// and "AUDIO_TS" folders: the button overlay, the control file "dvd.xml" from "dvdAuthorTemplate" or
// "dvdAuthorTemplate_no_menu", the folder looked at again (nothing in it but what was made there), then
// dvdauthor on a runner thread whose status lines become "NSNOTIFY_DVDAUTHOR_PROGRESS" (0 to 100). When
// dvdauthor has authored the folder and nobody cancelled, "NSNOTIFY_DVDAUTHOR_FINISHED_OK" follows, on which
// the burn starts.
//
// The MPEG-2 creator's driver calls, once both streams are written:
//     DVDAuthorObject author(project);
//     author.setVideoFilePath(slideshowStream);
//     author.setMenuVideoFilePath(menuStream);                       // when project.bUseDVDMenu
//     author.setStateButtonRectArray(menu.stateButtonRectArray());  // of the current template
//     author.setStatePictureFiles(menu.reducedStatePictureFiles());   // and its pictures
//     author.setCompletionHandler(...);                             // ends the progress session
//     author.AuthorDVD();
//
// "NOTIFY_CANCEL_ENCODING_VIDEO" cancels from the moment the object exists, so a cancel during the
// overlay or before dvdauthor is launched is never lost. Every child's exit status and output is checked;
// a failed step ends the run as Failed, naming the step, and posts no finished notification.
class DVDAuthorObject {
public:
    explicit DVDAuthorObject(
        const DVDProjectSettings& project,
        platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter());
    ~DVDAuthorObject(); // cancels a run still going and waits for its end
    DVDAuthorObject(const DVDAuthorObject&) = delete;
    DVDAuthorObject& operator=(const DVDAuthorObject&) = delete;

    void setVideoFilePath(const QString& path) { videoPath = path; }
    QString videoFilePath() const { return videoPath; }
    void setMenuVideoFilePath(const QString& path) { menuVideoPath = path; }
    QString menuVideoFilePath() const { return menuVideoPath; }
    void setStateButtonRectArray(const QList<QRect>& rects) { buttonRects = rects; }
    // The menu's four-colour state pictures, handed to spumux through these descriptors.
    void setStatePictureFiles(std::vector<platform::UniqueFd> files) { statePictures = std::move(files); }

    QString xmlFilePath() const { return xmlPath; }
    QString strOutputDVDFolder() const { return outputFolder; }
    // The disc folder made for this run, as a name that reaches it whatever has since taken
    // strOutputDVDFolder() ("/proc/<pid>/fd/<n>"): what reads the authored disc reads this one. Valid while
    // this object lives; empty before the folder was made.
    QString reachableOutputDVDFolder() const;
    // Whether the disc folder holds only what authoring makes, folders and regular files of one name each,
    // walked through the folder made for this run without following a link: what another program put there (a
    // link or a hard link to a file of the user's, a pipe) never reaches a disc. False, naming the step and
    // the entry, otherwise.
    bool checkAuthoredFolder(DVDStepError* error = nullptr) const;
    QString TVFormat() const { return tvFormat; }
    qint64 videoFileSizeMB() const { return sizeMB; }
    bool bTaskCancelled() const;

    // Runs on the runner thread as it ends (on the caller's thread when the run ends before it starts),
    // exactly once per AuthorDVD, before the finished notification. It must not destroy this object.
    void setCompletionHandler(std::function<void(const DVDAuthorOutcome&)> handler);

    // The overlay and the control file on the caller's thread, then dvdauthor on the runner thread. False
    // when the run ended before dvdauthor could start (failed or cancelled); the handler has run then.
    // Once per object: a second call does nothing and answers false.
    bool AuthorDVD();
    DVDAuthorOutcome wait(); // the outcome once the run has ended
    // Waits for the run's end, then lets go of the files it made (the control file, the disc folder, the
    // overlay's files and the menu's pictures), removed or not, so that their space is free. The disc
    // folder is no longer reachable through this object then.
    void releaseFiles();
    DVDAuthorOutcome outcome() const;

    // Stops the overlay or dvdauthor, or keeps them from starting.
    void DVDAuthorCancel();
    // Runs once the disc folder and the control file are made, right before the folder is looked at again and
    // dvdauthor starts (tests put another program's links at their names there).
    void setBeforeLaunch(std::function<void()> hook) { beforeLaunch = std::move(hook); }

    bool createXMLFile(const QString& menuSectionCode, DVDStepError* error = nullptr);
    // Posts the progress of each status line; sizeMB 0 reports 0 for the first phase.
    void parseOutput(const QStringList& lines);

    // "00:00:00" and nine more starts at each tenth of the slideshow, comma separated.
    // Every file a DVD run makes at a fixed name besides the MPEG-2 creator's: the disc folder, the control
    // file, the overlay's files and the menu's button pictures.
    static QStringList temporaryPaths(const DVDProjectSettings& settings);

    static QString chapterList(double totalSeconds);
    static QString titleFragment(const QString& videoPath, const QString& chapters);
    // The progress values (0 to 100) a status line reports: none, one or, with both markers, two.
    static QList<double> progressOfLine(const QString& line, qint64 sizeMB);
    // Splits output text into lines at every kind of line break.
    static QStringList splitLines(const QString& text);

private:
    struct Shared;

    bool prepare(DVDStepError* error);
    // Whether the disc folder holds only folders and files of one name each; otherwise the step fails with
    // the refusal and the entry.
    bool checkFolder(const QString& refusal, DVDStepError* error) const;
    bool runOverlay(DVDStepError* error);
    void runScript();
    DVDAuthorOutcome readUntilExit(StreamedChildProcess& child);
    void threadExited(const DVDAuthorOutcome& outcome);
    DVDAuthorOutcome endBeforeLaunch(const DVDStepError& error) const;
    static bool isFreshFolder(int folder);

    DVDProjectSettings project;
    platform::NotificationCenter& center;
    QString temporary;
    QString dvdauthorPath;
    QString videoPath, menuVideoPath, xmlPath, outputFolder, tvFormat;
    platform::UniqueFd xmlFile;        // the control file made at xmlPath, open since
    platform::UniqueFd outputFolderFd; // the disc folder made at outputFolder, open since
    std::function<void()> beforeLaunch;
    QList<QRect> buttonRects;
    std::vector<platform::UniqueFd> statePictures;
    qint64 sizeMB = 0;
    std::atomic<bool> started{false}; // AuthorDVD may run on a thread other than releaseFiles'
    std::unique_ptr<SpumuxObject> spumuxObj;
    std::function<void(const DVDAuthorOutcome&)> completion;
    QStringList complaints; // dvdauthor's error lines, for the failure message

    std::shared_ptr<Shared> shared; // what the cancel observer may touch, also after this object is gone
    platform::ObserverHandle cancelObserver;
    std::thread runner;
};
