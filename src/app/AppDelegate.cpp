#include "app/AppDelegate.h"

#include "model/MainWindowServices.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/RepeatingTimer.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"

#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPointer>

AppDelegate::AppDelegate(AppDialogs& dialogs, QObject* parent) : QObject(parent), dialogs(dialogs) {
    deferredTimer.setInterval(kDeferredPollMilliseconds);
    connect(&deferredTimer, &QTimer::timeout, this, &AppDelegate::runDeferredWork);
}

AppDelegate::~AppDelegate() {
    autosaveTimer.reset();
    applicationWillTerminate();
}

bool AppDelegate::isImageFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(path);
    if (!type.isValid() || type.isDefault())
        return false;
    for (const QByteArray& name : QImageReader::supportedMimeTypes()) {
        const QMimeType candidate = database.mimeTypeForName(QString::fromLatin1(name));
        if (!candidate.isValid() || !candidate.name().startsWith("image/"))
            continue;
        if (type.inherits(candidate.name()))
            return true;
    }
    return false;
}

// ---- start-up

void AppDelegate::awakeFromNib() {
    if (startupHooks.deleteTempFiles)
        startupHooks.deleteTempFiles();
    auto& center = platform::NotificationCenter::defaultCenter();
    addPhotoFailedObserver = platform::ObserverHandle(
        center, center.addObserver(kNotifyAddPhotoFailed,
                                   [this](const platform::Notification& n) { notifyAddPhotoFailed(n); }));
    autosaveTimer =
        std::make_unique<platform::RepeatingTimer>(kAutosaveSeconds, [this] { timerIdleHandleCallBack(); });
}

void AppDelegate::applicationDidFinishLaunching() {
    if (startupHooks.moveToApplicationsOffer)
        startupHooks.moveToApplicationsOffer();
    launchFinished = true;
    if (mainWindow)
        mainWindow->updateProjectInfo();
    tellOfUnreadableLastProject();
    if (!deferredWork.empty())
        QTimer::singleShot(0, this, &AppDelegate::runDeferredWork);
}

// The start went on with a new project in place of the last one; the user learns why, and that nothing of
// the old one was touched.
void AppDelegate::tellOfUnreadableLastProject() {
    const auto failure = SlideshowProject::takeStartupLoadFailure();
    if (!failure)
        return;
    showError(platform::errorSentence(failure->reason, tr_("The last project could not be read.")) +
              QStringLiteral("\n\n") +
              tr_("Its file \"%1\" is kept as it was. A new, empty project has been opened in its place.")
                  .arg(failure->folder + "/" + SlideshowProject::shortFileName()));
}

bool AppDelegate::applicationShouldTerminate() {
    return settleUnsavedEdits();
}

void AppDelegate::applicationWillTerminate() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    QString error;
    if (project->bIsDirty() && !project->saveProjectToFile(&error))
        qWarning("Vistrelle: the project could not be saved: %s", qPrintable(error));
    // The DVD-menu settings change without marking the project dirty, so they are written in any case.
    if (!SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile(&error))
        qWarning("Vistrelle: the DVD-menu settings could not be saved: %s", qPrintable(error));
}

// ---- documents and deferred work

bool AppDelegate::openFile(const QString& path) {
    return openProject(path);
}

void AppDelegate::openFiles(const QStringList& paths) {
    if (!paths.isEmpty())
        openFile(paths.first());
}

bool AppDelegate::openProject(const QString& path) {
    platform::runOnMainThread([self = QPointer<AppDelegate>(this), path] {
        if (self)
            self->whenReady([self, path] {
                if (self)
                    self->loadDeferredProject(path);
            });
    });
    return true;
}

// Work that replaces the open project waits until launching has finished and no export holds the
// project; it then runs on the main thread, in the order it was asked for.
void AppDelegate::whenReady(std::function<void()> work) {
    deferredWork.push_back(std::move(work));
    if (launchFinished && !(mainWindow && mainWindow->isExportRunning()))
        QTimer::singleShot(0, this, &AppDelegate::runDeferredWork);
    else if (!deferredTimer.isActive())
        deferredTimer.start();
}

void AppDelegate::runDeferredWork() {
    while (!deferredWork.empty()) {
        if (!launchFinished || (mainWindow && mainWindow->isExportRunning())) {
            if (!deferredTimer.isActive())
                deferredTimer.start();
            return;
        }
        auto work = std::move(deferredWork.front());
        deferredWork.pop_front();
        work();
    }
    deferredTimer.stop();
}

void AppDelegate::loadDeferredProject(const QString& path) {
    // Saved first: if the folder to open is the open one, the load then sees the latest edits.
    if (!settleUnsavedEdits())
        return;
    QString error;
    auto project = SlideshowProject::loadBundleProject(path, &error);
    if (!project) {
        showError(error);
        return;
    }
    // The play ends, its frame and loaders with it, before the open project changes hands: nothing of the
    // play may then hold the project it leaves.
    if (mainWindow)
        mainWindow->stop();
    SlideshowProject::retainProject(project);
    project->checkItemVaild();
    if (mainWindow) {
        mainWindow->refreshUIForOpenProject();
        mainWindow->reshapeOpenGLView();
    }
    SlideshowProject::setStrLastProjectBundlePath(project->strMacProjectBundleFullPath());
    SlideshowProjectManager::defaultSlideshowProjectManager()->loadFromFile();
    if (mainWindow) {
        mainWindow->updateProjectInfo();
        if (project->slideCount() > 0) {
            mainWindow->setNCurrentSlideshowItemIndex(0);
            mainWindow->ensureCurrentSlideThumbnailVisible();
        }
    }
}

// ---- commands

void AppDelegate::openProjectFile() {
    const QUrl url =
        dialogs.runOpenPanel(SlideshowProject::appDocFullPath(), SlideshowProject::docExtenstionName());
    if (url.isEmpty() || !url.isLocalFile())
        return;
    openProject(url.toLocalFile());
}

void AppDelegate::newProjectFile() {
    const auto choice = dialogs.runNewProjectDialog();
    if (!choice)
        return;
    whenReady([this, choice = *choice] { makeNewProject(choice); });
}

// The folder keeps its name; an empty name keeps the title too.
void AppDelegate::editProjectProperties() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const auto choice = dialogs.runProjectPropertyDialog();
    if (!choice)
        return;
    if (!choice->strProjectName.trimmed().isEmpty())
        project->setStrProjectTitle(choice->strProjectName);
    const bool typeChanged = project->bIsMusicSideshow() != choice->bMusicVideo;
    project->setBIsMusicSideshow(choice->bMusicVideo);
    project->setBIsDirty(true);
    if (typeChanged)
        platform::NotificationCenter::defaultCenter().post(kNotifySlideshowTypeChanged);
    if (mainWindow)
        mainWindow->updateProjectInfo();
}

void AppDelegate::makeNewProject(const NewProjectChoice& choice) {
    if (mainWindow)
        mainWindow->stop();
    if (!settleUnsavedEdits())
        return;
    QString error;
    auto project = SlideshowProject::createNewBundleProject(choice.strProjectName, &error);
    if (!project) {
        showError(error);
        return;
    }
    project->setBIsMusicSideshow(choice.bMusicVideo);
    project->setStrProjectTitle(choice.strProjectName);
    if (!project->saveProjectToFile(&error))
        showError(error);
    SlideshowProject::retainProject(project);
    if (mainWindow) {
        mainWindow->refreshUIForOpenProject();
        mainWindow->reshapeOpenGLView();
    }
    SlideshowProject::setStrLastProjectBundlePath(project->strMacProjectBundleFullPath());
    SlideshowProjectManager::creatNewDefaultSlideshowProjectManager();
    if (!SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile(&error))
        showError(error);
    if (mainWindow)
        mainWindow->updateProjectInfo();
}

bool AppDelegate::saveProjectFile() {
    const auto project = SlideshowProject::mainProject();
    QString error;
    bool saved = project && project->saveProjectToFile(&error);
    saved = saved && SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile(&error);
    if (!saved) {
        if (project)
            project->setBIsDirty(true);
        showError(error.isEmpty() ? tr_("The project could not be saved.") : error);
    }
    return saved;
}

bool AppDelegate::saveOpenProjectIfDirty(QString* error) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project || !project->bIsDirty())
        return true;
    if (!project->saveProjectToFile(error))
        return false;
    if (!SlideshowProjectManager::defaultSlideshowProjectManager()->saveToFile(error)) {
        project->setBIsDirty(true); // so that the next tick writes both again
        return false;
    }
    return true;
}

bool AppDelegate::settleUnsavedEdits() {
    for (;;) {
        QString error;
        if (saveOpenProjectIfDirty(&error))
            return true;
        const auto project = SlideshowProject::currentMainProject();
        switch (dialogs.askAboutUnsavedEdits(project->strMacProjectBundleFullPath(), error)) {
        case UnsavedEditsChoice::Retry:
            continue;
        case UnsavedEditsChoice::Discard:
            project->setBIsDirty(false);
            return true;
        case UnsavedEditsChoice::Cancel:
            return false;
        }
    }
}

void AppDelegate::timerIdleHandleCallBack() {
    // A failed save leaves the project dirty and the next tick tries again, quietly once the user knows.
    QString error;
    if (saveOpenProjectIfDirty(&error)) {
        saveFailureTold.clear();
        return;
    }
    const auto project = SlideshowProject::currentMainProject();
    const QString folder = project ? project->strMacProjectBundleFullPath() : QString();
    if (folder == saveFailureTold)
        return;
    saveFailureTold = folder;
    showError(
        tr_("The project cannot be saved in its folder \"%1\", which may have become read-only. Your "
            "changes are kept, and saving is tried again every few seconds; make the folder writable, or "
            "you will be asked what to do with them before the project closes.")
            .arg(folder) +
        QStringLiteral("\n\n") + platform::errorSentence(error, tr_("The project could not be written.")));
}

void AppDelegate::showError(const QString& message) {
    dialogs.showAlertSheet(QStringLiteral("ERROR"), message, tr_("OK"));
}

// ---- photos the import could not add

void AppDelegate::notifyAddPhotoFailed(const platform::Notification& notification) {
    QString message;
    for (const QVariant& item : notification.object.toList()) {
        const QVariantMap entry = item.toMap();
        const QString reason = entry.value("REASON").toString();
        message += QFileInfo(entry.value("SLIDE_IMAGE_FILENAME").toString()).fileName() +
                   (reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason)) + "\n";
    }
    if (message.isEmpty())
        return;
    platform::runOnMainThread([self = QPointer<AppDelegate>(this), message] {
        if (self)
            self->dialogs.showAlertSheet(tr_("The following photos can not be added to project:"), message,
                                         tr_("OK"));
    });
}
