#pragma once

#include <QString>

// What the DVD command shows the user: alerts on the main window and the export-progress window's modal
// session. The running application shows windows; tests answer them. Called on the main thread only.
class DVDCommandDialogs {
public:
    virtual ~DVDCommandDialogs() = default;
    // An alert sheet on the main window; the message is shown literally.
    virtual void showAlertSheet(const QString& title, const QString& message) = 0;
    // Runs the export-progress window modally while the DVD is made (the application returns when the
    // session ends; a test returns at once).
    virtual void runExportProgressModal() = 0;
    // Ends that modal session; nothing when none runs.
    virtual void endExportProgressModal() = 0;
};
