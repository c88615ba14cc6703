#include "dvd/MyBurnObject.h"

#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDImageCreatorObject.h"

using platform::disc::BurnOutcome;
using platform::disc::BurnResult;

MyBurnObject::MyBurnObject(QString temporaryFolder) : temporary(std::move(temporaryFolder)) {}

MyBurnObject::~MyBurnObject() {
    if (burner) {
        burner->cancel();
        burner->wait();
    }
}

void MyBurnObject::setProgressHandler(std::function<void(const platform::disc::BurnProgress&)> handler) {
    progressHandler = std::move(handler);
}

void MyBurnObject::setFinishedHandler(std::function<void(const BurnResult&)> handler) {
    finishedHandler = std::move(handler);
}

bool MyBurnObject::BurnDisc(DVDStepError* error) {
    if (cancelRequested)
        return false; // cancelled before it began: nothing to tell
    if (burner)
        return failStep(error, QStringLiteral("burn"), QStringLiteral("This burn has already been started."));
    if (!burnDrive)
        return failStep(error, QStringLiteral("burn"), QStringLiteral("No drive was chosen."));
    if (burnDrive->imageSpent())
        return failStep(error, QStringLiteral("burn"),
                        QStringLiteral("The disc image file \"%1\" has been written once already; choose it "
                                       "again for another burn.")
                            .arg(burnDrive->imageFilePath()));
    imageCreator = std::make_shared<DVDImageCreatorObject>(temporary);
    blocks = imageCreator->getTrackForFolder(inputFolder, discLabel, error);
    if (blocks <= 0 || cancelRequested) {
        burnDrive->discardImage();
        return false; // a size run without a size never becomes a track
    }
    platform::disc::BurnOptions options;
    options.simulate = burnDrive->testBurn();
    options.verify = burnDrive->canReadBack() && !options.simulate;
    burner = std::make_unique<platform::disc::DiscBurner>(burnDrive, imageCreator, blocks, options);
    burner->setProgressHandler(progressHandler);
    // The producer's clean-up has run when the burner finishes, so the stream's check is known here.
    burner->setFinishedHandler([this](const BurnResult& result) {
        DVDStepError why;
        const BurnResult final = settleImage(finalResult(result, &why));
        if (final.outcome == BurnOutcome::Failed && !why.isSet())
            why = {QStringLiteral("burn"), final.message};
        {
            std::lock_guard lock(mutex);
            outcome = final;
            failedStep = why;
            finished = true;
        }
        if (finishedHandler)
            finishedHandler(final);
    });
    QString message;
    if (!burner->start(&message)) {
        burner.reset();
        burnDrive->discardImage();
        return failStep(error, QStringLiteral("burn"), message);
    }
    return true;
}

BurnResult MyBurnObject::settleImage(BurnResult result) const {
    if (result.outcome != BurnOutcome::Succeeded || result.simulated) {
        burnDrive->discardImage();
        return result;
    }
    QString message;
    if (!burnDrive->commitImage(&message)) {
        result.outcome = BurnOutcome::Failed;
        result.message = message;
    }
    return result;
}

bool MyBurnObject::BurnDisc_old(DVDStepError* error) {
    if (!burnWindow)
        return failStep(error, QStringLiteral("burn"),
                        QStringLiteral("There is no window for the burn set-up."));
    return BurnDisc_old(*burnWindow, error);
}

bool MyBurnObject::BurnDisc_old(DVDCommandDialogs& window, DVDStepError* error) {
    burnWindow = &window;
    return setupPanelDidEnd(window.runBurnSetupPanel(), error);
}

bool MyBurnObject::setupPanelDidEnd(std::shared_ptr<platform::disc::DiscDrive> chosen, DVDStepError* error) {
    if (!chosen)
        return false;
    burnDrive = std::move(chosen);
    return BurnDisc(error);
}

BurnResult MyBurnObject::finalResult(BurnResult result, DVDStepError* why) const {
    const DVDStepError stream = imageCreator->streamError();
    if (result.outcome == BurnOutcome::Succeeded && stream.isSet()) {
        result.outcome = BurnOutcome::Failed;
        result.message = stream.message();
        *why = stream;
    }
    return result;
}

DVDStepError MyBurnObject::failure() const {
    std::lock_guard lock(mutex);
    return failedStep;
}

void MyBurnObject::cancel() {
    cancelRequested = true;
    if (burner)
        burner->cancel();
}

BurnResult MyBurnObject::wait() {
    if (burner)
        burner->wait();
    std::lock_guard lock(mutex);
    return outcome;
}

void MyBurnObject::releaseDrive() {
    if (burner)
        burner->wait();
    burner.reset();
    imageCreator.reset();
    burnDrive.reset();
}

bool MyBurnObject::burning() const {
    return burner && burner->isRunning();
}
