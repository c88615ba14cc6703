#pragma once

#include "dvd/DVDCommandDialogs.h"
#include "ui/main/AppDialogs.h"
#include "ui/main/ControllerDialogs.h"

#include <QStringList>
#include <QUrl>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

// Every dialogs interface at once, for tests: answers come from scripts the test fills (an empty script
// answers "cancelled"), and every call is recorded in order. Main thread only, as the real dialogs.
class RecordingDialogs : public AppDialogs, public DVDCommandDialogs, public ControllerDialogs {
public:
    struct Alert {
        QString title, message, button;
        bool modal = false; // an application-modal alert (runModalAlert) rather than a sheet
    };
    struct OpenPanel {
        MediaKind kind;
        QString title;
    };

    // AppDialogs
    std::optional<NewProjectChoice> runNewProjectDialog() override;
    std::optional<NewProjectChoice> runProjectPropertyDialog() override;
    QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) override;
    void showAlertSheet(const QString& title, const QString& message, const QString& button) override;
    // Answered from unsavedEditsAnswers (Cancel when empty), after beforeUnsavedEditsAnswer has run.
    UnsavedEditsChoice askAboutUnsavedEdits(const QString& folder, const QString& reason) override;
    // ExportDialogs, DVDCommandDialogs
    void updateExportProgress(double value, const QString& text) override;
    void closeExportProgress() override;
    void runExportProgressModal() override;
    std::shared_ptr<platform::disc::DiscDrive> runBurnSetupPanel() override;
    void updateBurnProgress(double fraction, const QString& phase) override;
    void closeBurnProgress(const QString& resultText) override;
    void burnCancelled(const QString& text) override;
    // Answered from mpegOpenAnswers (cancelled when empty).
    QString runMPEGIIOpenPanel() override;
    // ControllerDialogs: a modal alert is recorded with its informative text as the message.
    void runModalAlert(const QString& message, const QString& informativeText) override;
    QStringList runMediaOpenPanel(MediaKind kind, const QString& title) override;
    int runModalWindow(QDialog& window) override;
    DVDCommandDialogs& exportDialogs() override { return *this; }
    void setExportProgressWindow(ExportProgressWindowController* window) override;
    // Recorded as a modal alert with the informative text as the message; answered from questionAnswers,
    // or, when that is empty, with the button that changes nothing.
    bool runQuestionAlert(const QString& message, const QString& informativeText,
                          const QString& defaultButton, const QString& otherButton,
                          UnchangedBy unchanged) override;
    void revealFile(const QString& path) override { revealed << path; }
    void openWebPage(const QUrl& address) override { webPages << address; }
    // Answered from folderAnswers (cancelled when empty); the start folder is recorded.
    QString runFolderOpenPanel(const QString& startFolder) override;

    // Calls that came off the main thread (none should).
    int offMainThreadCalls() const { return offMain.load(); }
    // Every alert's title and message, for failure output.
    QString alertText() const;

    // Scripts.
    std::deque<std::optional<NewProjectChoice>> newProjectAnswers;
    std::deque<std::optional<NewProjectChoice>> projectPropertyAnswers;
    QUrl openAnswer;
    std::deque<QStringList> mediaOpenAnswers;
    std::deque<int> modalWindowAnswers;
    std::deque<UnsavedEditsChoice> unsavedEditsAnswers;
    std::function<void()> beforeUnsavedEditsAnswer; // a user mending the folder, say
    // A window run modally is given to this first (a test fills its fields and presses its buttons); without
    // a scripted answer, the window's own result is the answer.
    std::function<void(QDialog&)> modalWindowScript;
    std::deque<bool> questionAnswers;
    std::deque<QString> folderAnswers;
    std::deque<std::shared_ptr<platform::disc::DiscDrive>> burnSetupAnswers;
    std::deque<QString> mpegOpenAnswers;
    // The burn's window calls go to it too (a test's real window), after they are recorded.
    DVDCommandDialogs* burnWindow = nullptr;
    // The export-progress window's calls go to them too (a test's real dialogs, which run the window modally
    // as the application does: the run's first step returns once the window has ended), after they are
    // recorded.
    ControllerDialogs* progressWindows = nullptr;
    // Where set, a media panel and a modal alert are each first a real window, application-modal over this
    // one as the real ones are, that goes as soon as it has the keyboard: which window has the keyboard after
    // it is then the window system's answer, as it is after the real ones.
    QWidget* modalWindowsOver = nullptr;

    // Records.
    QString openStartFolder;
    QStringList folderPanelStarts;
    std::vector<Alert> alerts;
    std::vector<double> progress;
    QStringList progressTexts;
    std::vector<OpenPanel> openPanels;
    QStringList modalWindows;      // the object names of the windows run modally
    QStringList unsavedEditsAsked; // the folders asked about
    int modalRuns = 0;             // the export-progress window run modally
    int modalEnds = 0;             // ... and closed
    // The progress windows set, in order (the last is the current one).
    std::vector<ExportProgressWindowController*> exportWindows;
    QStringList questionButtons; // the default button of each question asked
    QStringList revealed;
    QList<QUrl> webPages;
    int burnSetups = 0;
    std::vector<double> burnProgress;
    QStringList burnPhases, burnResults, burnCancels;
    int mpegOpenPanels = 0;

private:
    void noteThread();
    void showModalStandIn();
    std::atomic<int> offMain{0};
};
