#pragma once

#include "dvd/DVDCommandDialogs.h"
#include "ui/editing/ProjectSource.h"
#include "ui/main/AppDialogs.h"
#include "ui/main/ControllerDialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class ExportProgressWindowController;
class QMessageBox;

// The running application's dialogs, as windows over the main window: the application delegate's, the
// exports' and the DVD command's, and the main window controller's. Main thread only.
class MainWindowDialogs : public AppDialogs, public DVDCommandDialogs, public ControllerDialogs {
public:
    // The project is the one whose properties, exports and burns the windows are for.
    MainWindowDialogs(QWidget* window, ProjectSource project);
    ~MainWindowDialogs() override;

    // AppDialogs
    std::optional<NewProjectChoice> runNewProjectDialog() override;
    std::optional<NewProjectChoice> runProjectPropertyDialog() override;
    QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) override;
    // An alert titled "ERROR" shows the message as its text and "ERROR" below it; any other shows its
    // title as the text and the message below.
    void showAlertSheet(const QString& title, const QString& message, const QString& button) override;
    UnsavedEditsChoice askAboutUnsavedEdits(const QString& folder, const QString& reason) override;

    // ExportDialogs and DVDCommandDialogs: the progress window set for the export (a window of their own
    // when none was).
    void updateExportProgress(double value, const QString& text) override;
    void closeExportProgress() override;
    void runExportProgressModal() override;
    std::shared_ptr<platform::disc::DiscDrive> runBurnSetupPanel() override;
    void updateBurnProgress(double fraction, const QString& phase) override;
    void closeBurnProgress(const QString& resultText) override;
    void burnCancelled(const QString& text) override;
    QString runMPEGIIOpenPanel() override;
    // The burn's progress window while it is up.
    ExportProgressWindowController* burnProgressWindow() const;

    // ControllerDialogs
    void runModalAlert(const QString& message, const QString& informativeText) override;
    QStringList runMediaOpenPanel(MediaKind kind, const QString& title) override;
    int runModalWindow(QDialog& window) override;
    DVDCommandDialogs& exportDialogs() override { return *this; }
    void setExportProgressWindow(ExportProgressWindowController* window) override;
    bool runQuestionAlert(const QString& message, const QString& informativeText,
                          const QString& defaultButton, const QString& otherButton,
                          UnchangedBy unchanged) override;
    // Through the file manager's D-Bus service; without one, the folder opens. What cannot be opened is
    // named in an alert, to be opened by hand.
    void revealFile(const QString& path) override;
    void openWebPage(const QUrl& address) override;
    QString runFolderOpenPanel(const QString& startFolder) override;

    // The alert runQuestionAlert shows, its first button the default; Escape and the close box press the
    // button that changes nothing.
    static std::unique_ptr<QMessageBox> makeQuestionAlert(QWidget* parent, const QString& message,
                                                          const QString& informativeText,
                                                          const QString& defaultButton,
                                                          const QString& otherButton, UnchangedBy unchanged);

private:
    ExportProgressWindowController& exportWindow();
    void openOrTell(const QUrl& address, const QString& title, const QString& message);
    std::optional<NewProjectChoice> runProjectProperties(bool forNewProject);

    QPointer<QWidget> window;
    ProjectSource projectSource;
    QPointer<ExportProgressWindowController> progress;
    std::unique_ptr<ExportProgressWindowController> ownProgress; // when nobody set one
    std::unique_ptr<ExportProgressWindowController> burnProgress;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true); // for an opener's late outcome
};
