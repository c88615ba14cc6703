#include "support/RecordingDialogs.h"

#include <QDialog>

std::optional<NewProjectChoice> RecordingDialogs::runNewProjectDialog() {
    std::optional<NewProjectChoice> answer;
    if (!newProjectAnswers.empty()) {
        answer.swap(newProjectAnswers.front());
        newProjectAnswers.pop_front();
    }
    return answer;
}

QUrl RecordingDialogs::runOpenPanel(const QString& startFolder, const QString&) {
    openStartFolder = startFolder;
    return openAnswer;
}

void RecordingDialogs::showAlertSheet(const QString& title, const QString& message, const QString& button) {
    alerts.push_back({title, message, button, false});
}

void RecordingDialogs::updateExportProgress(double value, const QString& text) {
    progress.push_back(value);
    progressTexts << text;
}

void RecordingDialogs::runModalAlert(const QString& message, const QString& informativeText) {
    alerts.push_back({message, informativeText, QString(), true});
}

QStringList RecordingDialogs::runMediaOpenPanel(MediaKind kind, const QString& title) {
    openPanels.push_back({kind, title});
    if (mediaOpenAnswers.empty())
        return {};
    QStringList answer = mediaOpenAnswers.front();
    mediaOpenAnswers.pop_front();
    return answer;
}

int RecordingDialogs::runModalWindow(QDialog& window) {
    modalWindows << window.objectName();
    if (modalWindowAnswers.empty())
        return QDialog::Rejected;
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
