#include "support/RecordingDialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>

void RecordingDialogs::noteThread() {
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        ++offMain;
}

void RecordingDialogs::closeExportProgress() {
    noteThread();
    ++modalEnds;
    if (progressWindows)
        progressWindows->exportDialogs().closeExportProgress();
}

void RecordingDialogs::runExportProgressModal() {
    noteThread();
    ++modalRuns;
    if (progressWindows)
        progressWindows->exportDialogs().runExportProgressModal();
}

void RecordingDialogs::closeBurnProgress(const QString& resultText) {
    noteThread();
    burnResults << resultText;
    if (burnWindow)
        burnWindow->closeBurnProgress(resultText);
}

void RecordingDialogs::burnCancelled(const QString& text) {
    noteThread();
    burnCancels << text;
    if (burnWindow)
        burnWindow->burnCancelled(text);
}

QString RecordingDialogs::runMPEGIIOpenPanel() {
    noteThread();
    ++mpegOpenPanels;
    if (mpegOpenAnswers.empty())
        return QString();
    QString answer = mpegOpenAnswers.front();
    mpegOpenAnswers.pop_front();
    return answer;
}

std::optional<NewProjectChoice> RecordingDialogs::runNewProjectDialog() {
    std::optional<NewProjectChoice> answer;
    if (!newProjectAnswers.empty()) {
        answer.swap(newProjectAnswers.front());
        newProjectAnswers.pop_front();
    }
    return answer;
}

std::optional<NewProjectChoice> RecordingDialogs::runProjectPropertyDialog() {
    std::optional<NewProjectChoice> answer;
    if (!projectPropertyAnswers.empty()) {
        answer.swap(projectPropertyAnswers.front());
        projectPropertyAnswers.pop_front();
    }
    return answer;
}

UnsavedEditsChoice RecordingDialogs::askAboutUnsavedEdits(const QString& folder, const QString&) {
    unsavedEditsAsked << folder;
    if (beforeUnsavedEditsAnswer)
        beforeUnsavedEditsAnswer();
    if (unsavedEditsAnswers.empty())
        return UnsavedEditsChoice::Cancel;
    const UnsavedEditsChoice answer = unsavedEditsAnswers.front();
    unsavedEditsAnswers.pop_front();
    return answer;
}

QUrl RecordingDialogs::runOpenPanel(const QString& startFolder, const QString&) {
    openStartFolder = startFolder;
    return openAnswer;
}

void RecordingDialogs::showAlertSheet(const QString& title, const QString& message, const QString& button) {
    noteThread();
    alerts.push_back({title, message, button, false});
}

namespace {

// Ends the dialog it watches once that dialog has the keyboard.
class EndsWhenActive : public QObject {
public:
    explicit EndsWhenActive(QDialog& dialog) : QObject(&dialog), dialog(dialog) {
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog && event->type() == QEvent::WindowActivate)
            QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog& dialog;
};

} // namespace

void RecordingDialogs::showModalStandIn() {
    if (!modalWindowsOver)
        return;
    QDialog standIn(modalWindowsOver);
    standIn.setObjectName("ModalStandIn");
    standIn.setWindowModality(Qt::ApplicationModal);
    new EndsWhenActive(standIn); // the dialog owns it
    // Only where no window system ever gives it the keyboard would it stay: a failing test, not a stuck one.
    QTimer::singleShot(30000, &standIn, &QDialog::reject);
    standIn.exec();
}

void RecordingDialogs::updateExportProgress(double value, const QString& text) {
    noteThread();
    progress.push_back(value);
    progressTexts << text;
    if (progressWindows)
        progressWindows->exportDialogs().updateExportProgress(value, text);
}

void RecordingDialogs::runModalAlert(const QString& message, const QString& informativeText) {
    alerts.push_back({message, informativeText, QString(), true});
    showModalStandIn();
}

QStringList RecordingDialogs::runMediaOpenPanel(MediaKind kind, const QString& title) {
    openPanels.push_back({kind, title});
    showModalStandIn();
    if (mediaOpenAnswers.empty())
        return {};
    QStringList answer = mediaOpenAnswers.front();
    mediaOpenAnswers.pop_front();
    return answer;
}

QString RecordingDialogs::runFolderOpenPanel(const QString& startFolder) {
    noteThread();
    folderPanelStarts << startFolder;
    if (folderAnswers.empty())
        return {};
    QString answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

std::shared_ptr<platform::disc::DiscDrive> RecordingDialogs::runBurnSetupPanel() {
    ++burnSetups;
    if (burnSetupAnswers.empty())
        return nullptr;
    auto answer = burnSetupAnswers.front();
    burnSetupAnswers.pop_front();
    return answer;
}

void RecordingDialogs::updateBurnProgress(double fraction, const QString& phase) {
    noteThread();
    burnProgress.push_back(fraction);
    burnPhases << phase;
    if (burnWindow)
        burnWindow->updateBurnProgress(fraction, phase);
}

void RecordingDialogs::setExportProgressWindow(ExportProgressWindowController* window) {
    exportWindows.push_back(window);
    if (progressWindows)
        progressWindows->setExportProgressWindow(window);
}

bool RecordingDialogs::runQuestionAlert(const QString& message, const QString& informativeText,
                                        const QString& defaultButton, const QString&, UnchangedBy unchanged) {
    alerts.push_back({message, informativeText, QString(), true});
    questionButtons << defaultButton;
    if (questionAnswers.empty())
        return unchanged == UnchangedBy::DefaultButton;
    const bool answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

int RecordingDialogs::runModalWindow(QDialog& window) {
    modalWindows << window.objectName();
    if (modalWindowScript)
        modalWindowScript(window);
    if (modalWindowAnswers.empty())
        return modalWindowScript ? window.result() : int(QDialog::Rejected);
    const int answer = modalWindowAnswers.front();
    modalWindowAnswers.pop_front();
    return answer;
}

QString RecordingDialogs::alertText() const {
    QStringList lines;
    for (const Alert& alert : alerts)
        lines << alert.title + ": " + alert.message;
    return lines.join('\n');
}
