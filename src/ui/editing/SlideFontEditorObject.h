#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ProjectSource.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>

class QWidget;
class SlideFontWndController;

// Owns the text window for the whole run and opens it, from the toolbox's "Text" or a command; the main
// window controller hands it each new current slide's text.
class SlideFontEditorObject : public QObject {
    Q_OBJECT
public:
    // The text panel edits in the project.
    explicit SlideFontEditorObject(ProjectSource project, QWidget* parentWindow = nullptr);
    ~SlideFontEditorObject() override;

    // Text mode, and the window shown.
    void textButtonClicked();
    void ToolboxButtonTextClicked(const platform::Notification& notification);
    QVariantMap textInfoDict() const { return textInfo; }
    void setTextInfoDict(const QVariantMap& info);
    SlideFontWndController* panelWndController() const;

private:
    ProjectSource projectSource;
    QPointer<SlideFontWndController> window;
    QVariantMap textInfo;
    platform::ObserverHandle toolboxObserver;
};
