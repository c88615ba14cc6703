#pragma once

#include <QString>

// What the exports show the user: alerts on the main window and the export-progress window. The running
// application shows windows; tests answer them. Called on the main thread only.
class ExportDialogs {
public:
    virtual ~ExportDialogs() = default;
    // An alert on the main window; the message is shown literally.
    virtual void showAlertSheet(const QString& title, const QString& message, const QString& button) = 0;
    // The progress window's bar (a fraction of 1) and its text.
    virtual void updateExportProgress(double value, const QString& text) = 0;
    // Closes the progress window of a movie export and ends its modal session.
    virtual void closeExportProgress() = 0;
};
