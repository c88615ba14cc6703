#pragma once

#include "ui/editing/ProjectSource.h"

#include <QPointer>

#include <memory>

class ColorAdjustObject;
class ControllerDialogs;
class PanZoomObject;
class QDialog;
class QWidget;
class SlideFontEditorObject;
class SlideshowMainObject;
class ToolboxObject;
namespace platform {
class Scheduler;
}

// The document window's floating panels: the editing panels (pan and zoom, text, toolbox, colour), made
// with the window and kept for the whole run, and the options window; the window's layout objects it wakes
// and the buttons and menu items of the clips and the toolbox. Main thread only.
class EditingPanels {
public:
    EditingPanels(SlideshowMainObject& hub, ControllerDialogs& dialogs,
                  std::shared_ptr<platform::Scheduler> scheduler, ProjectSource project);
    ~EditingPanels();

    // With the window: the panels, then the clip and toolbox commands.
    void makeEditingPanels();
    void connectClipAndPanelActions();
    PanZoomObject* panZoom() const { return panZoomPanel.get(); }
    SlideFontEditorObject* fontEditor() const { return fontEditorPanel.get(); }
    ToolboxObject* toolbox() const { return toolboxPanel.get(); }
    ColorAdjustObject* colorAdjust() const { return colorAdjustPanel.get(); }

    // The theme list shown by the theme button's call-out.
    QWidget* makeThemeListView();
    void awakeWindowLayout();
    void ShowApplicationOptions();
    QDialog* optionsWnd() const;
    // The options window goes with the window's controller.
    void dropOptionsWindow();

private:
    SlideshowMainObject& hub;
    ControllerDialogs& userDialogs;
    std::shared_ptr<platform::Scheduler> clock;
    ProjectSource project;
    // Declared in the order the window's controller always made them, so they go in the reverse.
    std::unique_ptr<PanZoomObject> panZoomPanel;
    std::unique_ptr<SlideFontEditorObject> fontEditorPanel;
    std::unique_ptr<ToolboxObject> toolboxPanel;
    std::unique_ptr<ColorAdjustObject> colorAdjustPanel;
    QPointer<QDialog> optionsWindow;
};
