#pragma once

#include "dvd/DVDStepError.h"
#include "platform/disc/DiscBurner.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DVDCommandDialogs;
class DVDImageCreatorObject;

// The burn of one DVD command: measures the disc image of the authored folder, then records it as one
// data track, streamed from mkisofs, on the chosen drive, verified by reading it back where the drive can.
// The main window controller makes it when "NSNOTIFY_DVDAUTHOR_FINISHED_OK" arrives:
//     MyBurnObject burn;
//     burn.setStrInputDVDFolder(author.strOutputDVDFolder());
//     burn.setStrDVDLabel(QStringLiteral("Corvanta"));
//     burn.setBurnObject(drive);                    // chosen in the burn set-up, a test burn or not
//     burn.setProgressHandler(...); burn.setFinishedHandler(...);
//     burn.BurnDisc(&error);                        // false: nothing is burnt, error names the step
// The handlers run on the burn's thread. On a disc image file's drive the image appears at its name only
// once the burn has succeeded; a burn that fails or is cancelled leaves whatever was there before.
class MyBurnObject {
public:
    explicit MyBurnObject(QString temporaryFolder = QString());
    ~MyBurnObject(); // cancels a burn still running and waits for its end
    MyBurnObject(const MyBurnObject&) = delete;
    MyBurnObject& operator=(const MyBurnObject&) = delete;

    void setStrInputDVDFolder(const QString& folder) { inputFolder = folder; }
    QString strInputDVDFolder() const { return inputFolder; }
    void setStrDVDLabel(const QString& label) { discLabel = label; }
    QString strDVDLabel() const { return discLabel; }
    void setBurnObject(std::shared_ptr<platform::disc::DiscDrive> drive) { burnDrive = std::move(drive); }
    std::shared_ptr<platform::disc::DiscDrive> burnObject() const { return burnDrive; }
    // Where the burn set-up of BurnDisc_old() shows itself (not owned).
    void setMainBurnWindow(DVDCommandDialogs* window) { burnWindow = window; }
    DVDCommandDialogs* mainBurnWindow() const { return burnWindow; }
    void setProgressHandler(std::function<void(const platform::disc::BurnProgress&)> handler);
    // The outcome, with the image stream's own check folded in; once, after the burn has ended.
    void setFinishedHandler(std::function<void(const platform::disc::BurnResult&)> handler);

    // Measures the image (blocking), then starts recording. False, with the failed step, when the size
    // run gave no size or the burn could not begin: then nothing has been written.
    bool BurnDisc(DVDStepError* error = nullptr);
    // The earlier start of a burn, when this object asked for its drive itself: the burn set-up (test burns
    // selectable) over mainBurnWindow(), whose answer goes to setupPanelDidEnd(). False when the set-up was
    // cancelled or the burn did not start.
    bool BurnDisc_old(DVDCommandDialogs& window, DVDStepError* error = nullptr);
    bool BurnDisc_old(DVDStepError* error = nullptr);
    // The set-up's end: a chosen drive becomes burnObject() and the burn starts on it; null (cancelled)
    // leaves everything as it was.
    bool setupPanelDidEnd(std::shared_ptr<platform::disc::DiscDrive> chosen, DVDStepError* error = nullptr);

    // Stops the burn; a cancel before BurnDisc keeps it from starting (BurnDisc then answers false with
    // no error set).
    void cancel();
    platform::disc::BurnResult wait();
    // Once a burn has failed: the step that failed, the image stream's own when it was at fault; unset
    // otherwise.
    DVDStepError failure() const;
    // Once the burn has ended: the drive, whose disc image file it holds open, and the image's producer let
    // go of. What wait() and trackBlocks() tell stays.
    void releaseDrive();
    bool burning() const;
    std::int64_t trackBlocks() const { return blocks; }

private:
    // The outcome with the image stream's own check folded in; *why is the stream's failure when it failed
    // the burn.
    platform::disc::BurnResult finalResult(platform::disc::BurnResult result, DVDStepError* why) const;
    // An image drive's image goes to its name after a burn that wrote it whole; otherwise it is removed.
    platform::disc::BurnResult settleImage(platform::disc::BurnResult result) const;

    QString temporary;
    QString inputFolder;
    QString discLabel;
    std::shared_ptr<platform::disc::DiscDrive> burnDrive;
    DVDCommandDialogs* burnWindow = nullptr;
    std::function<void(const platform::disc::BurnProgress&)> progressHandler;
    std::function<void(const platform::disc::BurnResult&)> finishedHandler;
    std::shared_ptr<DVDImageCreatorObject> imageCreator; // lives at least as long as the burn
    std::unique_ptr<platform::disc::DiscBurner> burner;
    std::int64_t blocks = 0;
    mutable std::mutex mutex;
    std::atomic<bool> cancelRequested{false};
    bool finished = false;
    platform::disc::BurnResult outcome;
    DVDStepError failedStep;
};
