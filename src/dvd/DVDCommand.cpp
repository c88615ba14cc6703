#include "dvd/DVDCommand.h"

#include "dvd/DVDAuthorObject.h"
#include "dvd/DVDFiles.h"
#include "dvd/DVDMPEGIICreateObject.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDMenuSlidePictures.h"
#include "dvd/DVDNotifications.h"
#include "dvd/DVDProjectSettings.h"
#include "dvd/MyBurnObject.h"
#include "dvd/StreamedChildProcess.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Parallel.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "render/ExportPictureLook.h"
#include "render/SlideshowDirector.h"
#include "render/SlideshowFramePump.h"

namespace {

constexpr double kDVDFrameWidth = 960;
constexpr double kDVDFrameHeight = 540;

// The menu's frames are drawn from the first three slides, so the menu alone needs as many as the disc.
const char* const kTooFewSlides = "Please add at least 3 photos to get started!";

QString serviceName(const SlideshowProject& project) {
    return project.shareOptionsDict().value("ServiceName").toString();
}

// "<base>.mpg" and "<base>_dvdmenu.mpg" of the project's encoding path at the DVD's frame size.
QString withoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return dot > slash ? path.left(dot) : path;
}

QString menuStreamPathFor(const QString& slideshowStream) {
    return withoutExtension(slideshowStream) + QStringLiteral("_dvdmenu.mpg");
}

} // namespace

DVDCommand::DVDCommand(std::shared_ptr<SlideshowDirector> player, DVDCommandDialogs& userDialogs,
                       platform::NotificationCenter& notifications)
    : director(std::move(player)), dialogs(userDialogs), center(notifications) {
    const auto observe = [this](const QString& name, std::function<void()> action) {
        observers.emplace_back(
            center, center.addObserver(name, [action](const platform::Notification&) { action(); }));
    };
    observe(videoInfoEditDoneNotificationName(), [this] {
        bool answered;
        {
            const std::lock_guard lock(mutex);
            answered = std::exchange(awaitingDiscEncode, false);
        }
        if (answered)
            notifyVideoInfoEditDone();
    });
    observe(DVDMPEGIICreateObject::movieFinishedNotificationName(), [this] { encodeFinished(); });
    observe(kNotifyDVDAuthorFinishedOK, [this] { DVDAuthorFinishedOK(); });
    observe(kNotifyCancelEncodingVideo, [this] { cancelEncoding(); });
}

DVDCommand::~DVDCommand() {
    std::shared_ptr<DVDMPEGIICreateObject> running;
    std::unique_ptr<DVDAuthorObject> authoring;
    std::unique_ptr<MyBurnObject> burning;
    {
        const std::lock_guard lock(mutex);
        cancelRequested = true; // the menu's thread makes no slides after its frames
    }
    if (menuWorker.joinable())
        menuWorker.join(); // it calls into this object
    {
        const std::lock_guard lock(mutex);
        running = creator;
    }
    // The creator's driver calls back into this object until it has ended.
    if (running) {
        running->cancel();
        running->waitUntilFinished();
    }
    {
        const std::lock_guard lock(mutex);
        authoring = std::move(author);
        burning = std::move(burn);
    }
    authoring.reset(); // cancels dvdauthor and waits for its thread
    burning.reset();   // cancels the burn and waits for it
    observers.clear();
    alive.reset(); // work still queued for the main thread finds nobody
}

// ---- the burn set-up

bool DVDCommand::deviceCouldBeTarget(const platform::disc::DriveInfo&) {
    return true;
}

bool DVDCommand::deviceContainsSuitableMedia(const platform::disc::MediaInfo& media, QString* prompt) {
    if (platform::disc::isWritableDVD(media.profile))
        return true;
    if (prompt)
        *prompt = tr_("That's not a writable DVD!");
    return false;
}

void DVDCommand::BurnDVDButtonClicked(std::shared_ptr<platform::disc::DiscDrive> chosen) {
    const auto project = SlideshowProject::mainProject();
    if (!chosen || !project)
        return;
    {
        const std::lock_guard lock(mutex);
        drive = std::move(chosen);
        awaitingDiscEncode = true;
    }
    project->setShareOption("ServiceName", "BurnDVD");
    center.post(videoInfoEditDoneNotificationName());
}

std::shared_ptr<platform::disc::DiscDrive> DVDCommand::burnObject() const {
    const std::lock_guard lock(mutex);
    return drive;
}

void DVDCommand::setBurnObject(std::shared_ptr<platform::disc::DiscDrive> chosen) {
    const std::lock_guard lock(mutex);
    drive = std::move(chosen);
}

// ---- the menu slides

bool DVDCommand::notifyVideoInfoEditDone() {
    const auto project = SlideshowProject::mainProject();
    if (!project || serviceName(*project) != QLatin1String("BurnDVD"))
        return false;
    if (!startMenuSlides(tr_(kTooFewSlides), Encode::Disc)) {
        if (currentStage == Stage::Idle)
            setBurnObject(nullptr); // the run never began: its drive, and an image's partial file, go
        return false;
    }
    dialogs.runExportProgressModal();
    return true;
}

bool DVDCommand::EncodeDVDMenu() {
    if (!startMenuSlides(tr_(kTooFewSlides), Encode::MenuOnly))
        return false;
    dialogs.runExportProgressModal();
    return true;
}

bool DVDCommand::startMenuSlides(const QString& tooFewSlidesText, Encode kind) {
    const auto project = SlideshowProject::mainProject();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    if (!project || !manager || currentStage != Stage::Idle)
        return false;
    manager->setDvdMenuSlideArray({});
    // The menu's frames are drawn from the first slides: with fewer than three there is nothing to draw.
    if (project->slideCount() < 3) {
        alert(tooFewSlidesText);
        return false;
    }
    // The menu is drawn from the slides' pictures and the show from all of them; the menu's stream plays
    // its own songs.
    const bool menuPlays = kind == Encode::MenuOnly || manager->bUseDVDMenu();
    const auto menuSongs = menuPlays ? manager->dvdMenuBackgroundMusicArray() : std::vector<MusicItemRef>();
    if (const QString missing = project->missingSlideFilesMessage(menuSongs); !missing.isEmpty()) {
        alert(missing);
        return false;
    }
    if (manager->dvdMenuTemplateArray().empty())
        manager->loadDVDMenuTemplate();
    const DVDMenuTemplateRef current = manager->currentDVDMenuTemplate();
    auto item = std::make_shared<DVDMenuItem>(current ? current->menuDictionary()
                                                      : DVDMenuTemplate::noMenuDictionary());
    std::function<void(DVDMenuItem&)> setup;
    {
        const std::lock_guard lock(mutex);
        setup = menuSetup;
        cancelRequested = false;
        commandKind = kind;
    }
    if (setup)
        setup(*item);
    // From here the run is under way: its progress window shows, and its Cancel is heard.
    currentStage = Stage::Encoding;
    if (menuWorker.joinable())
        menuWorker.join(); // the last run's, which handed over as its last step
    menuWorker =
        std::jthread([this, kind, item, settings = DVDProjectSettings::fromProject(*project, *manager)] {
            auto made = std::make_shared<MenuMade>(makeMenu(*item, settings));
            made->item = item;
            onMainThread([this, kind, made] { menuSlidesMade(kind, *made); });
        });
    return true;
}

// On the menu's thread: the frames drawn, then a slide made of each frame, side by side, a thread a frame.
DVDCommand::MenuMade DVDCommand::makeMenu(DVDMenuItem& item, const DVDProjectSettings& settings) const {
    MenuMade made;
    if (!item.buildMenuImages(settings, &made.error) || isCancelled())
        return made;
    const QStringList pictures = item.imagesArray();
    // Read from the frames the menu wrote, never from whatever another program has put at their names since.
    const std::vector<platform::UniqueFd> frames = item.menuFrameFiles();
    std::vector<SlideItemRef> slides(std::size_t(pictures.size()));
    std::vector<DVDStepError> errors(slides.size());
    platform::forEachIndex(slides.size(), unsigned(slides.size()), [&](std::size_t i) {
        const int frame = i < frames.size() ? frames[i].get() : -1; // none: the frame cannot be read
        slides[i] = addImageToSlideItem_thread(pictures[qsizetype(i)], int(i) + 1, &errors[i], frame);
    });
    for (std::size_t i = 0; i < slides.size(); ++i)
        if (!slides[i]) {
            made.error = errors[i];
            return made;
        }
    made.slides = std::move(slides);
    return made;
}

// Back on the main thread: a Cancel that came meanwhile ends the run quietly, a failed step with its alert;
// otherwise the encode starts.
void DVDCommand::menuSlidesMade(Encode kind, const MenuMade& made) {
    const auto project = SlideshowProject::mainProject();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    if (!made.slides.empty() && manager) {
        manager->setDvdMenuSlideArray(made.slides);
        const std::lock_guard lock(mutex);
        menuItem = made.item;
    }
    QString refusal;
    if (!isCancelled() && !made.error.isSet()) {
        if (kind == Encode::MenuOnly && project)
            project->setShareOption("ServiceName", "PhotoLibrary");
        if (startEncode(kind, &refusal))
            return;
    } else if (!isCancelled()) {
        refusal = made.error.message();
    }
    dialogs.closeExportProgress();
    endCommand(refusal);
}

SlideItemRef DVDCommand::addImageToSlideItem_thread(const QString& picture, int frameNumber,
                                                    DVDStepError* error, std::optional<int> frameFile) const {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return nullptr;
    return DVDMenuSlidePictures::makeSlide(picture, frameNumber, *project, error, frameFile);
}

// ---- the encode

bool DVDCommand::createDVDMenuAndSlideshowMPEGIIFile() {
    return startEncodeOrSay(Encode::Disc);
}

bool DVDCommand::createDVDMenuMPEGIIFile() {
    return startEncodeOrSay(Encode::MenuOnly);
}

bool DVDCommand::createDVDMPEGIIFile() {
    return startEncodeOrSay(Encode::SlideshowOnly);
}

bool DVDCommand::startEncodeOrSay(Encode kind) {
    if (currentStage != Stage::Idle)
        return false; // one command at a time: a run's menu may still be being made
    QString refusal;
    if (startEncode(kind, &refusal))
        return true;
    if (!refusal.isEmpty())
        alert(refusal);
    return false;
}

bool DVDCommand::startEncode(Encode kind, QString* refusal) {
    const auto project = SlideshowProject::mainProject();
    if (!project || project->slideCount() <= 2) {
        *refusal = tr_(kTooFewSlides);
        return false;
    }
    {
        const std::lock_guard lock(mutex);
        if (creator && creator->isRunning())
            return false; // one encode at a time: the pumps share the player
    }
    const QSizeF size(kDVDFrameWidth, kDVDFrameHeight);
    const QString encoded = project->strEncodingVideoFilePath(size);
    if (encoded.isEmpty()) {
        *refusal = platform::paths::temporaryFolderProblem();
        return false;
    }
    SlideshowProject::setSizeVideoOutput(size);
    project->setNCurrentStatus(0);
    project->setBExportProgressCancelButtonClicked(false); // a cancel of an earlier export is not this one's
    const QString stream = withoutExtension(encoded) + QStringLiteral(".mpg");

    auto next = std::make_shared<DVDMPEGIICreateObject>(this, center);
    next->setCompletionHandler([this](DVDMPEGIICreateObject::End end, const DVDStepError& error) {
        if (end == DVDMPEGIICreateObject::End::Failed)
            encodeFailed(error);
        else if (end == DVDMPEGIICreateObject::End::Cancelled)
            encodeFailed({});
    });
    std::function<void(DVDMPEGIICreateObject&)> setup;
    {
        const std::lock_guard lock(mutex);
        // A run whose menu was made first began then: a Cancel since is its own.
        if (currentStage == Stage::Idle) {
            cancelRequested = false;
            commandKind = kind;
        } else if (cancelRequested) {
            return false;
        }
        creator = next;
        encoding = kind;
        slideshowStream = stream;
        setup = creatorSetup;
    }
    if (setup)
        setup(*next);
    currentStage = Stage::Encoding;
    if (kind == Encode::Disc)
        return next->startRunDVDMenuAndSlideshow(
            {{"strOutputFullPath", stream}, {"strDVDMenuOutputFullPath", menuStreamPathFor(stream)}});
    if (kind == Encode::SlideshowOnly)
        return next->startRun({{"strOutputFullPath", stream}});
    return next->startRunDVDMenu({{"strOutputFullPath", menuStreamPathFor(stream)}});
}

void DVDCommand::runFramePump(const FramePumpParam<DVDMPEGIICreateObject>& param) {
    if (param.frames == FramePumpParam<DVDMPEGIICreateObject>::Frames::YUVPipe)
        dvdMPEGIIReadYUVThreadProc(param);
    else if (param.menu)
        dvdMenuMPEGIIReadRGBAThreadProc(param);
    else
        dvdMPEGIIReadRGBAThreadProc(param);
}

void DVDCommand::dvdMPEGIIReadRGBAThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param) {
    const auto project = SlideshowProject::currentMainProject();
    pumpFrames(project ? project->slideshowArray() : std::vector<SlideItemRef>(), param);
}

void DVDCommand::dvdMPEGIIReadYUVThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param) {
    dvdMPEGIIReadRGBAThreadProc(param); // the same play; pumpFrames reads back what the pipe asks for
}

void DVDCommand::dvdMenuMPEGIIReadRGBAThreadProc(const FramePumpParam<DVDMPEGIICreateObject>& param) {
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    const auto project = SlideshowProject::currentMainProject();
    // The show that follows has its pictures looked at from the run's first frame, as a movie's are: one
    // damaged since the run began fails it now, not only once the show's own pass has begun.
    std::unique_ptr<ExportPictureLook> showLook;
    if (project && param.creator->bNeedCreateDVDMenuAndSlideshow())
        showLook = std::make_unique<ExportPictureLook>(project->slideshowArray());
    pumpFrames(manager ? manager->dvdMenuSlideArray() : std::vector<SlideItemRef>(), param, showLook.get());
}

void DVDCommand::pumpFrames(const std::vector<SlideItemRef>& slides,
                            const FramePumpParam<DVDMPEGIICreateObject>& param,
                            ExportPictureLook* besideLook) {
    DVDMPEGIICreateObject* const stopper = param.creator;
    const auto refused = [besideLook] { return besideLook ? besideLook->refusal() : QString(); };
    const QVariantMap stage = DVDMPEGIICreateObject::dictEncodingProgressStep().value("ffmmpegiidvd").toMap();
    const auto report = [this, stage](double progress) {
        center.post(DVDMPEGIICreateObject::progressNotificationName(), QVariant(),
                    {{"progress", progress}, {"baseinfo", stage}});
    };
    const QSizeF size = SlideshowProject::sizeVideoOutput();
    SlideshowFramePump::Options options;
    options.width = int(size.width());
    options.height = int(size.height());
    options.pipePath = param.strVideoFIFO;
    options.yuvFrames = param.frames == FramePumpParam<DVDMPEGIICreateObject>::Frames::YUVPipe;
    options.cancelled = [stopper, refused] { return stopper->shouldStopPump() || !refused().isEmpty(); };
    options.progress = [report, besideLook](quint64 written, quint64 total) {
        if (besideLook)
            besideLook->start();
        report(total > 0 ? double(written) / double(total) : 1.0);
    };
    SlideshowFramePump::Result result;
    if (director)
        result = SlideshowFramePump::run(*director, slides, options);
    else
        result.error = tr_("There is no player to render the frames of the DVD.");
    if (const QString refusal = refused(); !refusal.isEmpty()) {
        result.ok = false;
        result.error = refusal;
    }
    report(1.0);
    stopper->framePumpEnded(result.ok, result.error);
}

// On the creator's thread, after both passes.
void DVDCommand::encodeFinished() {
    Encode kind;
    bool cancelled;
    {
        const std::lock_guard lock(mutex);
        kind = std::exchange(encoding, Encode::None);
        cancelled = cancelRequested;
    }
    if (kind == Encode::None)
        return;                 // an encode of someone else
    if (kind != Encode::Disc) { // a stream alone, which stays for the caller
        onMainThread([this] {
            dialogs.closeExportProgress();
            endCommand();
        });
        return;
    }
    if (cancelled) {
        endCancelled(); // the Cancel came as the last pass ended
        return;
    }
    currentStage = Stage::Authoring;
    QString stream;
    {
        const std::lock_guard lock(mutex);
        stream = slideshowStream;
    }
    StartDVDAuthorWithMPEGIIFile(stream);
}

// On the creator's thread; an empty error is a cancel.
void DVDCommand::encodeFailed(const DVDStepError& error) {
    {
        const std::lock_guard lock(mutex);
        encoding = Encode::None;
    }
    const QString message = error.isSet() ? error.message() : QString();
    onMainThread([this, message] {
        dialogs.closeExportProgress();
        endCommand(message);
    });
}

// Whatever step runs is stopped, and every hand-over to the next step looks at the flag first, under the
// same lock: a Cancel is never lost between two steps.
void DVDCommand::cancelEncoding() {
    std::shared_ptr<DVDMPEGIICreateObject> running;
    {
        const std::lock_guard lock(mutex);
        if (currentStage == Stage::Idle)
            return;
        cancelRequested = true;
        if (encoding != Encode::None)
            running = creator;
        if (author)
            author->DVDAuthorCancel();
        if (burn)
            burn->cancel();
    }
    if (running)
        running->cancel(); // its end comes back through encodeFailed
}

bool DVDCommand::isCancelled() const {
    const std::lock_guard lock(mutex);
    return cancelRequested;
}

void DVDCommand::endCancelled() {
    onMainThread([this] {
        dialogs.closeExportProgress();
        endCommand();
    });
}

// ---- authoring and burn

void DVDCommand::StartDVDAuthorWithMPEGIIFile(const QString& path) {
    // The streams this command's creator wrote are read through the files it made, so that whatever has
    // since taken their names is never authored.
    const std::shared_ptr<DVDMPEGIICreateObject> made = dvdMpegIICreateObject();
    const auto own = [&made](const QString& name) {
        const QString file = made ? made->streamFile(name) : QString();
        return file.isEmpty() ? name : file;
    };
    authorStream(own(path), own(menuStreamPathFor(path)), true);
}

bool DVDCommand::StartDVDAuthor() {
    const auto project = SlideshowProject::mainProject();
    if (!project || currentStage != Stage::Idle)
        return false;
    const QString path = dialogs.runMPEGIIOpenPanel();
    if (path.isEmpty())
        return false;
    // A drive kept from an earlier burn into an image file has recorded its one image.
    if (const auto kept = burnObject(); !kept || kept->imageSpent()) {
        auto chosen = dialogs.runBurnSetupPanel();
        if (!chosen)
            return false;
        setBurnObject(std::move(chosen));
    }
    QString menu = menuStreamPathFor(path);
    bool withMenu = isNonEmptyFile(menu);
    {
        const std::lock_guard lock(mutex);
        // The state pictures go with the run that made the menu last: without them there are no buttons
        // to lay over the menu stream, which is left out then, as when no menu was made.
        withMenu = withMenu && menuItem && !menuItem->reducedStatePictureFiles().empty();
        cancelRequested = false;
        commandKind = Encode::AuthoringOnly;
    }
    project->setBExportProgressCancelButtonClicked(false);
    authorStream(path, menu, withMenu);
    dialogs.runExportProgressModal();
    return true;
}

void DVDCommand::authorStream(const QString& path, const QString& menuPath, bool withMenu) {
    const auto project = SlideshowProject::currentMainProject();
    const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager();
    if (path.isEmpty() || !project || !manager)
        return;
    DVDProjectSettings settings = DVDProjectSettings::fromProject(*project, *manager);
    settings.bUseDVDMenu = settings.bUseDVDMenu && withMenu;
    auto next = std::make_unique<DVDAuthorObject>(settings, center);
    next->setVideoFilePath(path);
    if (settings.bUseDVDMenu) {
        next->setMenuVideoFilePath(menuPath);
        const std::lock_guard lock(mutex);
        if (menuItem) {
            next->setStateButtonRectArray(menuItem->stateButtonRectArray());
            next->setStatePictureFiles(menuItem->reducedStatePictureFiles());
        }
    }
    next->setCompletionHandler([this](const DVDAuthorOutcome& outcome) {
        // The burn, if any, follows on the finished notification, after this has been queued.
        const QString message =
            outcome.kind == DVDAuthorOutcome::Failed ? outcome.error.message() : QString();
        const bool finished = outcome.kind == DVDAuthorOutcome::Finished;
        onMainThread([this, message, finished] {
            dialogs.closeExportProgress();
            if (!finished)
                endCommand(message);
        });
    });
    std::unique_ptr<DVDAuthorObject> previous;
    DVDAuthorObject* current = nullptr;
    {
        const std::lock_guard lock(mutex);
        if (!cancelRequested) {
            previous = std::exchange(author, std::move(next));
            current = author.get();
        }
    }
    previous.reset();
    if (!current) {
        endCancelled();
        return;
    }
    currentStage = Stage::Authoring;
    current->AuthorDVD();
}

// On dvdauthor's thread.
void DVDCommand::DVDAuthorFinishedOK() {
    if (currentStage != Stage::Authoring)
        return; // an authoring of someone else
    onMainThread([this] {
        if (isCancelled())
            endCommand(); // the Cancel came as the authoring ended
        else
            StartBurnDVDDisc();
    });
}

void DVDCommand::StartBurnDVDDisc() {
    auto next = std::make_unique<MyBurnObject>();
    {
        const std::lock_guard lock(mutex);
        next->setBurnObject(drive);
        next->setStrInputDVDFolder(author ? author->reachableOutputDVDFolder() : QString());
    }
    next->setStrDVDLabel(discLabel());
    next->setProgressHandler([this](const platform::disc::BurnProgress& progress) {
        const double fraction = progress.fraction;
        const QString phase = platform::localizedString(progress.phase);
        onMainThread([this, fraction, phase] { dialogs.updateBurnProgress(fraction, phase); });
    });
    next->setFinishedHandler([this, made = next.get()](const platform::disc::BurnResult& result) {
        using platform::disc::BurnOutcome;
        if (result.outcome == BurnOutcome::Cancelled) {
            const QString text = burnCancelledText(result);
            onMainThread([this, text] {
                dialogs.burnCancelled(text);
                endCommand();
            });
            return;
        }
        const QString message = result.outcome == BurnOutcome::Failed ? made->failure().message() : QString();
        const QString done = result.outcome == BurnOutcome::Succeeded ? burnResultText() : QString();
        onMainThread([this, message, done] {
            dialogs.closeBurnProgress(done);
            endCommand(message);
        });
    });
    std::unique_ptr<MyBurnObject> previous;
    MyBurnObject* current = nullptr;
    {
        const std::lock_guard lock(mutex);
        if (!cancelRequested) {
            previous = std::exchange(burn, std::move(next));
            current = burn.get();
        }
    }
    previous.reset();
    if (!current) {
        endCommand();
        return;
    }
    DVDStepError error;
    if (!authoredFolderIsClean(&error)) {
        endCommand(error.message());
        return;
    }
    currentStage = Stage::Burning;
    if (!current->BurnDisc(&error)) {
        dialogs.closeBurnProgress(QString());
        endCommand(error.isSet() ? error.message() : QString());
    }
}

// The image is made of the authored folder alone: whatever another program put into it since dvdauthor
// began (a link to a file of the user's, a pipe) refuses the burn rather than reach the disc.
bool DVDCommand::authoredFolderIsClean(DVDStepError* error) const {
    const std::lock_guard lock(mutex);
    return !author || author->checkAuthoredFolder(error);
}

QString DVDCommand::imageFileOf(const platform::disc::DiscDrive& target) {
    if (!target.imageFilePath().isEmpty())
        return target.imageFilePath();
    return target.isPseudoDrive() ? target.address().mid(int(QStringLiteral("stdio:").size())) : QString();
}

QString DVDCommand::burnResultText() const {
    const std::lock_guard lock(mutex);
    const bool test = drive && drive->testBurn();
    if (const QString image = drive ? imageFileOf(*drive) : QString(); !image.isEmpty())
        return test ? tr_("The test burn succeeded. Nothing was written to the disc image %1.").arg(image)
                    : tr_("The DVD has been written to the disc image %1.").arg(image);
    return test ? tr_("The test burn succeeded. Nothing was written to the disc.")
                : tr_("The DVD has been burnt.");
}

// A disc image is put in place only once it is whole, so a cancelled burn never wrote to it; a disc in a
// recorder keeps whatever the recorder had written when it stopped.
QString DVDCommand::burnCancelledText(const platform::disc::BurnResult& result) const {
    const std::lock_guard lock(mutex);
    if (const QString image = drive ? imageFileOf(*drive) : QString(); !image.isEmpty())
        return tr_("The burn was cancelled. Nothing was written to the disc image %1.").arg(image);
    if (result.simulated || (drive && drive->testBurn()) || result.blocksWritten == 0)
        return tr_("The burn was cancelled. Nothing was written to the disc.");
    if (result.blocksWritten >= (burn ? burn->trackBlocks() : 0))
        return tr_("The verification was cancelled. The DVD has been burnt.");
    return tr_("The burn was cancelled. The disc was written in part and may not play.");
}

void DVDCommand::endCommand(const QString& alertText) {
    const bool discRun = currentStage != Stage::Idle;
    currentStage = Stage::Idle;
    // The drive goes with the run: a recorder is free for others again, and an image file's partial file,
    // which only a finished burn puts in place, is removed.
    if (discRun)
        setBurnObject(nullptr);
    if (const std::shared_ptr<DVDMPEGIICreateObject> made = dvdMpegIICreateObject();
        made && !made->isRunning())
        made->releaseStreams(); // nothing reads them any more
    const bool removed = discRun && (commandKind == Encode::Disc || commandKind == Encode::AuthoringOnly);
    if (discRun && commandKind == Encode::Disc)
        deleteRunFiles();
    else if (removed) // the stream was the user's: it stays
        for (const QString& path : DVDAuthorObject::temporaryPaths(DVDProjectSettings()))
            removeItem(path);
    if (discRun)
        releaseRunFiles(removed);
    if (!alertText.isEmpty())
        alert(alertText);
}

// A run lets go of the files it opened as it ends, removed or not, so that none holds its space or stays
// open for writing: the disc image, the disc folder, the overlay's and the control files, the menu's frames
// and its slides' pictures in the project. The state pictures of a menu made alone stay, for an authoring of
// its stream.
void DVDCommand::releaseRunFiles(bool menuRemoved) {
    if (const auto manager = SlideshowProjectManager::defaultSlideshowProjectManager())
        for (const SlideItemRef& slide : manager->dvdMenuSlideArray())
            slide->setOpenPictureFiles(nullptr);
    std::shared_ptr<DVDMenuItem> menu;
    DVDAuthorObject* authoring;
    MyBurnObject* burning;
    {
        const std::lock_guard lock(mutex);
        menu = menuItem;
        authoring = author.get();
        burning = burn.get();
    }
    if (authoring)
        authoring->releaseFiles();
    if (burning)
        burning->releaseDrive();
    if (menu)
        menu->releaseFiles(menuRemoved);
}

// ---- helpers

void DVDCommand::onMainThread(std::function<void()> work) {
    const std::weak_ptr<bool> guard = alive;
    platform::runOnMainThread([guard, work = std::move(work)] {
        if (guard.lock())
            work();
    });
}

void DVDCommand::alert(const QString& message) {
    dialogs.showAlertSheet(DVDStepError::alertTitle(), message, tr_("OK"));
}

std::shared_ptr<DVDMPEGIICreateObject> DVDCommand::dvdMpegIICreateObject() const {
    const std::lock_guard lock(mutex);
    return creator;
}

DVDAuthorObject* DVDCommand::dvdAuthorObj() const {
    const std::lock_guard lock(mutex);
    return author.get();
}

MyBurnObject* DVDCommand::myburnObj() const {
    const std::lock_guard lock(mutex);
    return burn.get();
}

std::shared_ptr<DVDMenuItem> DVDCommand::currentDVDMenuItem() const {
    const std::lock_guard lock(mutex);
    return menuItem;
}

void DVDCommand::deleteRunFiles() {
    DVDMPEGIICreateObject::deleteTempFiles();
    QStringList paths = DVDAuthorObject::temporaryPaths(DVDProjectSettings());
    const QString stream =
        SlideshowProject::strEncodingVideoFileBase(QSizeF(kDVDFrameWidth, kDVDFrameHeight));
    if (!stream.isEmpty())
        paths << stream + QStringLiteral(".mpg") << menuStreamPathFor(stream + QStringLiteral(".mpg"));
    for (const QString& path : paths)
        removeItem(path);
}

void DVDCommand::deleteFilesOfKilledRuns() {
    platform::disc::DiscDrive::removeAbandonedImageFiles(SlideshowProject::strOutputVideoPath());
    // The image's producer makes its pipe there (MyBurnObject's default folder).
    StreamedChildProcess::removeLeftoverFifos(platform::paths::temporaryFolder());
}

void DVDCommand::setCreatorSetup(std::function<void(DVDMPEGIICreateObject&)> setup) {
    const std::lock_guard lock(mutex);
    creatorSetup = std::move(setup);
}

void DVDCommand::setMenuSetup(std::function<void(DVDMenuItem&)> setup) {
    const std::lock_guard lock(mutex);
    menuSetup = std::move(setup);
}
