#pragma once

#include "app/AppDialogs.h"

#include <QPointer>
#include <QWidget>

// The application delegate's dialogs as windows over the main window.
class WidgetDialogs : public AppDialogs {
public:
    explicit WidgetDialogs(QWidget* window) : window(window) {}

    std::optional<NewProjectChoice> runNewProjectDialog() override;
    QUrl runOpenPanel(const QString& startFolder, const QString& projectExtension) override;
    void showAlertSheet(const QString& title, const QString& message, const QString& button) override;
    UnsavedEditsChoice askAboutUnsavedEdits(const QString& folder, const QString& reason) override;

private:
    QPointer<QWidget> window;
};
