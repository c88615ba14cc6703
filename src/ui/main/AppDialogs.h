#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The answers of the project-property dialog, for a new project or the open one.
struct NewProjectChoice {
    QString strProjectName; // as typed; may be empty
    bool bMusicVideo = false;
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
};
