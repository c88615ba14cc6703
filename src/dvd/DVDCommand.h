#pragma once

#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDNotifications.h"
#include "dvd/DVDStepError.h"
#include "model/SlideItem.h"
#include "platform/disc/DiscBurner.h"
#include "platform/disc/DiscDrive.h"
#include "platform/foundation/NotificationCenter.h"
#include "render/FramePumpHost.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class DVDAuthorObject;
class DVDMenuItem;
class ExportPictureLook;
struct DVDProjectSettings;
class DVDMPEGIICreateObject;
class MyBurnObject;
class SlideshowDirector;
class SlideshowProject;

// The DVD services of the main window controller, which owns one for the whole run: the burn set-up's
// rule for media, the menu's frames turned into menu slides, the two-pass MPEG-2 encode with the frame
// pumps that render the slides and the menu into the creator's pipe, the authoring, and the burn.
//
// The chain of a DVD command:
//   BurnDVDButtonClicked(drive)            the set-up's choice; posts "NOTIFY_VIDEO_INFO_EDIT_DONE"
//   -> notifyVideoInfoEditDone()           (observed here for "ServiceName" "BurnDVD") the export-progress
//                                           window modal at once, the menu's frames and slides made on a
//                                           thread of their own meanwhile, then on the main thread
//   -> startRunDVDMenuAndSlideshow         the creator's two passes
//   -> "NOTIFY_ENCODE_MOVIE_FINISHED"      (observed here while this command encodes, on the creator's
//   -> StartDVDAuthorWithMPEGIIFile(path)   thread) the authoring
//   -> "NSNOTIFY_DVDAUTHOR_FINISHED_OK"    (observed here) the burn, started on the main thread
//   -> StartBurnDVDDisc()
// The main window controller leaves these branches of its own observers to this object. A step that
// fails ends the command with an alert titled "ERROR" saying why (DVDStepError::message), the progress
// window closed, and nothing burnt; "NOTIFY_CANCEL_ENCODING_VIDEO" stops it wherever it is, also while one
// step hands over to the next: nothing is authored, imaged or burnt after a Cancel. However the command ends,
// the temporary files of its run (streams, disc folder, overlay, menu pictures) are removed.
//
// Called on the main thread, except the pumps (on their own threads), the menu's thread
// (addImageToSlideItem_thread) and what the notifications run.
class DVDCommand : public FramePumpHost<DVDMPEGIICreateObject> {
public:
    enum class Stage { Idle, Encoding, Authoring, Burning };
    static QString discLabel() { return QStringLiteral("Corvanta"); }
    static QString videoInfoEditDoneNotificationName() { return kNotifyVideoInfoEditDone; }

    DVDCommand(std::shared_ptr<SlideshowDirector> director, DVDCommandDialogs& dialogs,
               platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter());
    // Stops a command under way and waits for its threads; call on the main thread.
    ~DVDCommand() override;
    DVDCommand(const DVDCommand&) = delete;
    DVDCommand& operator=(const DVDCommand&) = delete;

    // ---- the burn set-up
    // Every drive may be the target.
    static bool deviceCouldBeTarget(const platform::disc::DriveInfo& drive);
    // Only DVD-R, DVD-RW, DVD+R and DVD+RW; otherwise *prompt is "That's not a writable DVD!".
    static bool deviceContainsSuitableMedia(const platform::disc::MediaInfo& media, QString* prompt);
    // The set-up's answer: the chosen drive, or null for a cancel (then nothing happens).
    void BurnDVDButtonClicked(std::shared_ptr<platform::disc::DiscDrive> chosen);
    std::shared_ptr<platform::disc::DiscDrive> burnObject() const;
    void setBurnObject(std::shared_ptr<platform::disc::DiscDrive> drive);

    // ---- the encode
    // The "BurnDVD" branch: the menu slides, then the two passes. False when the command did not start (it
    // said why); otherwise it runs the progress window, which it closes however the command ends.
    bool notifyVideoInfoEditDone();
    // The menu alone ("ServiceName" becomes "PhotoLibrary" once its slides are made), as the above.
    bool EncodeDVDMenu();
    // Operations that stand alone, in no command's chain (nothing in the program calls them): the encode
    // on the menu slides an earlier command made, without making them first. The disc's two passes, then
    // its authoring and burn; the menu's stream alone, which stays for the caller. False when refused (with
    // an alert) or while a command runs.
    bool createDVDMenuAndSlideshowMPEGIIFile();
    bool createDVDMenuMPEGIIFile();
    // The show's stream alone, without the menu's: the stream stays for the caller.
    bool createDVDMPEGIIFile();
    void runFramePump(const FramePumpParam<DVDMPEGIICreateObject>& param) override;
    void dvdMPEGIIReadRGBAThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param);
    void dvdMenuMPEGIIReadRGBAThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param);
    // The pump of the creator's planar variant: the project's slides as planar YUV 4:2:0 frames.
    void dvdMPEGIIReadYUVThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param);

    // ---- authoring and burn
    void StartDVDAuthorWithMPEGIIFile(const QString& path);
    // A stream the user picks in an open panel authored and burnt as the DVD command's own would be, on the
    // drive the last burn set-up chose, else on one a new set-up chooses; the menu is left out unless the
    // menu's stream lies beside it ("<name>_dvdmenu.mpg") and a menu was drawn. False when nothing started.
    bool StartDVDAuthor();
    void DVDAuthorFinishedOK();
    void StartBurnDVDDisc();

    Stage stage() const { return currentStage.load(); }
    std::shared_ptr<DVDMPEGIICreateObject> dvdMpegIICreateObject() const;
    DVDAuthorObject* dvdAuthorObj() const;
    MyBurnObject* myburnObj() const;
    // The template that drew the last menu images, with its button rectangles.
    std::shared_ptr<DVDMenuItem> currentDVDMenuItem() const;
    // The slide of menu frame `frameNumber` (from 1): the picture with the backdrop and thumbnail a photo's
    // slide has, so that a theme that frames pictures on a backdrop draws the menu on it too.
    // The frame is read from the file open at frameFile when given (the frame's own file). Any thread: a run
    // makes every frame's slide this way, side by side.
    SlideItemRef addImageToSlideItem_thread(const QString& picture, int frameNumber,
                                            DVDStepError* error = nullptr,
                                            std::optional<int> frameFile = std::nullopt) const;
    // Runs on every new creator before it starts (tests shorten its waits or give it another sound step).
    void setCreatorSetup(std::function<void(DVDMPEGIICreateObject&)> setup);
    // Runs on every new menu, on the main thread, before its frames are drawn on the menu's thread (tests
    // hold the drawing there).
    void setMenuSetup(std::function<void(DVDMenuItem&)> setup);
    // Removes every temporary file a DVD run makes, at their fixed names (also those of an earlier run).
    static void deleteRunFiles();
    // Removes what runs killed while they burnt left under names of their own, wherever no live run still
    // holds it: a disc image's partial file in the output folder, an outside program's output pipe in the
    // temporary folder. For the start.
    static void deleteFilesOfKilledRuns();

private:
    // What a command makes: the disc; the menu's stream or the show's alone; a disc from a stream at hand.
    enum class Encode { None, Disc, MenuOnly, SlideshowOnly, AuthoringOnly };

    // What the menu's thread made: the menu and its slides, or the step that failed.
    struct MenuMade {
        std::shared_ptr<DVDMenuItem> item;
        std::vector<SlideItemRef> slides;
        DVDStepError error;
    };

    // Refuses, before anything is drawn, a run whose slides or songs cannot be read (the menu's songs too
    // when the run makes the menu's stream), or while a command runs; otherwise the run begins and its menu
    // is made on the menu's thread, which hands over to menuSlidesMade.
    bool startMenuSlides(const QString& tooFewSlidesText, Encode kind);
    MenuMade makeMenu(DVDMenuItem& item, const DVDProjectSettings& settings) const;
    void menuSlidesMade(Encode kind, const MenuMade& made);
    // False, with the refusal or none (another encode runs, or a Cancel came), when the encode did not start.
    bool startEncode(Encode kind, QString* refusal);
    bool startEncodeOrSay(Encode kind);
    void authorStream(const QString& path, const QString& menuPath, bool withMenu);
    // Plays the slides into the pass's pipe; the look beside it, when given, starts with the first frame and
    // stops the pass with its refusal.
    void pumpFrames(const std::vector<SlideItemRef>& slides,
                    const FramePumpParam<DVDMPEGIICreateObject>& param,
                    ExportPictureLook* besideLook = nullptr);
    void encodeFinished();
    void encodeFailed(const DVDStepError& error);
    void cancelEncoding();
    void endCommand(const QString& alert = QString());
    void releaseRunFiles(bool menuRemoved);
    // Ends a command whose Cancel came as one step handed over to the next.
    void endCancelled();
    bool isCancelled() const;
    bool authoredFolderIsClean(DVDStepError* error) const;
    // What the burn's window says once the disc or its image is written, or once a cancelled burn stopped.
    QString burnResultText() const;
    QString burnCancelledText(const platform::disc::BurnResult& result) const;
    // The disc image file a drive writes; empty for a recorder.
    static QString imageFileOf(const platform::disc::DiscDrive& target);
    // Runs work on the main thread while this object lives.
    void onMainThread(std::function<void()> work);
    void alert(const QString& message);

    std::shared_ptr<SlideshowDirector> director;
    DVDCommandDialogs& dialogs;
    platform::NotificationCenter& center;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    mutable std::mutex mutex; // the objects below, reached from the creator's and the author's threads
    std::shared_ptr<platform::disc::DiscDrive> drive;
    std::shared_ptr<DVDMPEGIICreateObject> creator; // kept until the next encode: its driver calls back here
    std::unique_ptr<DVDAuthorObject> author;
    std::unique_ptr<MyBurnObject> burn;
    std::shared_ptr<DVDMenuItem> menuItem;
    std::function<void(DVDMPEGIICreateObject&)> creatorSetup;
    std::function<void(DVDMenuItem&)> menuSetup;
    Encode encoding = Encode::None;
    QString slideshowStream;         // the stream the running encode writes, which the authoring reads
    bool awaitingDiscEncode = false; // the set-up was answered; the edit-done notification starts the encode
    bool cancelRequested = false;    // a Cancel came for the command under way
    Encode commandKind = Encode::None; // of the command under way or the last one
    std::atomic<Stage> currentStage{Stage::Idle};

    std::vector<platform::ObserverHandle> observers;
    std::jthread menuWorker; // the last run's menu; it calls into this object until it has handed over
};
