#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

// The toolbox: four buttons that announce the tool picked as "NOTIFY_TOOLBOX_BUTTON_CLICKED" with "Rotate",
// "Text", "PanZoom" or "ColorAdjust"; each panel (and the controller, for Rotate) answers its own word.
class ToolboxWindowController : public QWidget {
    Q_OBJECT
public:
    explicit ToolboxWindowController(QWidget* parent = nullptr);

    void rotateButtonClicked() { postTool(QStringLiteral("Rotate")); }
    void textButtonClicked() { postTool(QStringLiteral("Text")); }
    void panZoomButtonClicked() { postTool(QStringLiteral("PanZoom")); }
    void colorAdjustButtonClicked() { postTool(QStringLiteral("ColorAdjust")); }
    static void postTool(const QString& tool);

    QPushButton* button(const QString& tool) const;
};

// Owns the toolbox for the whole run; "NOTIFY_SHOW_TOOLBAR_ICON_CLICK" shows it, or closes it when shown.
class ToolboxObject : public QObject {
    Q_OBJECT
public:
    explicit ToolboxObject(QWidget* parentWindow = nullptr);
    ~ToolboxObject() override;

    void ShowToolbarPanel();
    ToolboxWindowController* toolboxController() const { return window; }

private:
    QPointer<ToolboxWindowController> window;
    platform::ObserverHandle showObserver;
};
