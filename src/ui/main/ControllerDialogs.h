#pragma once

#include <QString>
#include <QStringList>

class DVDCommandDialogs;
class ExportProgressWindowController;
class QDialog;
class QUrl;

// What the main window controller and the commands it runs ask of the user, besides the exports' and the DVD
// command's dialogs, which exportDialogs() answers. The running application shows windows; tests answer them.
// Called on the main thread only.
class ControllerDialogs {
public:
    enum class MediaKind { Photos, Clips, Songs, Compositions };

    virtual ~ControllerDialogs() = default;
    // An application-modal alert with one default button; returns once it is closed.
    virtual void runModalAlert(const QString& message, const QString& informativeText) = 0;
    // An open panel for files of one kind, several at once; the chosen paths, empty when cancelled.
    virtual QStringList runMediaOpenPanel(MediaKind kind, const QString& title) = 0;
    // Runs a window modally and answers how it ended (its result code or stop code).
    virtual int runModalWindow(QDialog& window) = 0;

    // The dialogs the export and DVD commands show.
    virtual DVDCommandDialogs& exportDialogs() = 0;
    // The progress window that the next export's dialogs run, update and end (the controller makes one for
    // each export); null for none.
    virtual void setExportProgressWindow(ExportProgressWindowController* window) = 0;
    // Which button of a question leaves everything as it is; Escape and the close box answer with it.
    enum class UnchangedBy { DefaultButton, OtherButton };
    // An application-modal alert with a default and a second button; true when the default was chosen.
    virtual bool runQuestionAlert(const QString& message, const QString& informativeText,
                                  const QString& defaultButton, const QString& otherButton,
                                  UnchangedBy unchanged) = 0;
    // Shows the file selected in a file manager window of its folder.
    virtual void revealFile(const QString& path) = 0;
    // Opens a web page in the user's browser.
    virtual void openWebPage(const QUrl& address) = 0;
    // An open panel for one folder (new folders may be made), starting in startFolder; empty when cancelled.
    virtual QString runFolderOpenPanel(const QString& startFolder) = 0;
};
