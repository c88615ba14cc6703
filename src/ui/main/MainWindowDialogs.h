#pragma once

#include "dvd/DVDCommandDialogs.h"
#include "ui/main/AppDialogs.h"
#include "ui/main/ControllerDialogs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QDialog;
class QLabel;
class QProgressBar;

// The running application's dialogs, as windows over the main window: the application delegate's, the
// exports' and the DVD command's, and the main window controller's. Main thread only.
class MainWindowDialogs : public AppDialogs, public DVDCommandDialogs, public ControllerDialogs {
public:
    explicit MainWindowDialogs(QWidget* window);
    ~MainWindowDialogs() override;

    // AppDialogs
    std::optional<NewProjectChoice> runNewProjectDialog() override;
    QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) override;
    // An alert titled "ERROR" shows the message as its text and "ERROR" below it; any other shows its
    // title as the text and the message below.
    void showAlertSheet(const QString& title, const QString& message, const QString& button) override;

    // ExportDialogs and DVDCommandDialogs
    void updateExportProgress(double value, const QString& text) override;
    void closeExportProgress() override;
    void runExportProgressModal() override;

    // ControllerDialogs
    void runModalAlert(const QString& message, const QString& informativeText) override;
    QStringList runMediaOpenPanel(MediaKind kind, const QString& title) override;
    int runModalWindow(QDialog& window) override;

private:
    QDialog& progressWindow();

    QPointer<QWidget> window;
    std::unique_ptr<QDialog>
        progress; // not parented: it may outlive the window in tests, never the other way
    QPointer<QLabel> progressText;
    QPointer<QProgressBar> progressBar;
};
