#pragma once

#include <QString>
#include <QStringList>

class QDialog;

// What the main window controller and the commands it runs ask of the user, besides the exports'
// dialogs. The running application shows windows; tests answer them. Called on the main thread only.
class ControllerDialogs {
public:
    enum class MediaKind { Photos, Clips, Songs };

    virtual ~ControllerDialogs() = default;
    // An application-modal alert with one default button; returns once it is closed.
    virtual void runModalAlert(const QString& message, const QString& informativeText) = 0;
    // An open panel for files of one kind, several at once; the chosen paths, empty when cancelled.
    virtual QStringList runMediaOpenPanel(MediaKind kind, const QString& title) = 0;
    // Runs a window modally and answers how it ended (its result code or stop code).
    virtual int runModalWindow(QDialog& window) = 0;
};
