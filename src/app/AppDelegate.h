#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "ui/main/AppDialogs.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class MainWindowServices;
namespace platform {
class RepeatingTimer;
}

// The application delegate: start-up, the autosave timer, documents opened from outside, the New,
// Open and Save commands, saving at quit, and the report of photos the import could not add.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    static constexpr double kAutosaveSeconds = 2.0;
    static constexpr int kDeferredPollMilliseconds = 100;

    // What start-up runs of parts built elsewhere; each may be left empty.
    struct StartupHooks {
        std::function<void()> deleteTempFiles;         // leftovers of earlier runs
        std::function<void()> moveToApplicationsOffer; // may relaunch the application and end it
    };

    explicit AppDelegate(AppDialogs& dialogs, QObject* parent = nullptr);
    ~AppDelegate() override;

    void setMainObject(MainWindowServices* mainObject) { mainWindow = mainObject; }
    MainWindowServices* mainObject() const { return mainWindow; }
    void setStartupHooks(StartupHooks hooks) { startupHooks = std::move(hooks); }

    static bool isImageFile(const QString& path);

    void awakeFromNib();
    void applicationDidFinishLaunching();
    // Whether the application may end now: the open project's edits are saved, or, when that fails, the
    // user chose to try again until it works, to drop them, or to keep the application running (false).
    bool applicationShouldTerminate();
    // Saves what is unsaved before the application ends.
    void applicationWillTerminate();
    bool openFile(const QString& path);
    void openFiles(const QStringList& paths);
    void openProjectFile();
    void newProjectFile();
    // The open project's name and music-video flag, edited in the project-property dialog.
    void editProjectProperties();
    bool saveProjectFile();
    // Opens a project folder once launching has finished (and no export is running); returns at once.
    bool openProject(const QString& path);
    void notifyAddPhotoFailed(const platform::Notification& notification);
    void timerIdleHandleCallBack();

    bool bLaunchFinished() const { return launchFinished; }
    platform::RepeatingTimer* timerIdleHandle() const { return autosaveTimer.get(); }
    // Opens and News waiting for the launch to finish or for an export to end.
    std::size_t pendingWorkCount() const { return deferredWork.size(); }

private:
    void runDeferredWork();
    void whenReady(std::function<void()> work);
    void loadDeferredProject(const QString& path);
    void makeNewProject(const NewProjectChoice& choice);
    // Saves the open project and the project manager when the project is dirty; false when it failed.
    bool saveOpenProjectIfDirty(QString* error);
    // Before the open project closes: true once its edits are saved or the user let them go; false when
    // the user chose to keep it open.
    bool settleUnsavedEdits();
    void showError(const QString& message);
    void tellOfUnreadableLastProject();

    AppDialogs& dialogs;
    MainWindowServices* mainWindow = nullptr;
    StartupHooks startupHooks;
    bool launchFinished = false;
    std::unique_ptr<platform::RepeatingTimer> autosaveTimer;
    platform::ObserverHandle addPhotoFailedObserver;
    std::deque<std::function<void()>> deferredWork;
    QString saveFailureTold; // the folder whose failed autosave the user was told of
    QTimer deferredTimer;
};
