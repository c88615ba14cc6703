#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The answers of the project-property dialog, for a new project or the open one.
struct NewProjectChoice {
    QString strProjectName; // as typed; may be empty
    bool bMusicVideo = false;
};

// What becomes of edits that could not be saved when their project is about to close.
enum class UnsavedEditsChoice {
    Retry,   // try the save again
    Discard, // close without them
    Cancel,  // keep the project open (no quit, no other project)
};

// The dialogs and alerts the application delegate opens. The running application shows windows;
// tests answer them.
class AppDialogs {
public:
    virtual ~AppDialogs() = default;
    // The project-property dialog for a new project, run modally; nullopt when it was closed.
    virtual std::optional<NewProjectChoice> runNewProjectDialog() = 0;
    // The same dialog for the open project, filled from it; nullopt when it was closed.
    virtual std::optional<NewProjectChoice> runProjectPropertyDialog() = 0;
    // The open panel for one project folder, starting in startFolder; an empty URL when cancelled.
    virtual QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) = 0;
    // An alert on the main window; the message is shown literally.
    virtual void showAlertSheet(const QString& title, const QString& message, const QString& button) = 0;
    // Asked, modally, when the project in folder could not be saved (for `reason`) and is about to close,
    // at quit or before another project replaces it.
    virtual UnsavedEditsChoice askAboutUnsavedEdits(const QString& folder, const QString& reason) = 0;
};
