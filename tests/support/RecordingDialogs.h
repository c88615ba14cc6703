#pragma once

#include "dvd/DVDCommandDialogs.h"
#include "ui/main/AppDialogs.h"
#include "ui/main/ControllerDialogs.h"

#include <QStringList>
#include <QUrl>

#include <deque>
#include <optional>
#include <vector>

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
    QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) override;
    void showAlertSheet(const QString& title, const QString& message, const QString& button) override;
    // ExportDialogs, DVDCommandDialogs
    void updateExportProgress(double value, const QString& text) override;
    void closeExportProgress() override { ++modalEnds; }
    void runExportProgressModal() override { ++modalRuns; }
    // ControllerDialogs: a modal alert is recorded with its informative text as the message.
    void runModalAlert(const QString& message, const QString& informativeText) override;
    QStringList runMediaOpenPanel(MediaKind kind, const QString& title) override;
    int runModalWindow(QDialog& window) override;

    // Every alert's title and message, for failure output.
    QString alertText() const;

    // Scripts.
    std::deque<std::optional<NewProjectChoice>> newProjectAnswers;
    QUrl openAnswer;
    std::deque<QStringList> mediaOpenAnswers;
    std::deque<int> modalWindowAnswers;

    // Records.
    QString openStartFolder;
    std::vector<Alert> alerts;
    std::vector<double> progress;
    QStringList progressTexts;
    std::vector<OpenPanel> openPanels;
    QStringList modalWindows; // the object names of the windows run modally
    int modalRuns = 0;        // the export-progress window run modally
    int modalEnds = 0;        // ... and closed
};
