#pragma once

#include "model/SlideshowProject.h"

#include <QString>
#include <QWidget>

// What the floating editing panels share: the edit mode they put the preview in, and their windows.
namespace editing_panel {

// The project's nCurrentStatus (0 none, 1 playing, 2 text position, 3 pan); nothing without a project.
void setCurrentStatus(const SlideshowProjectRef& project, int status);
// A floating tool window over the parent window (which may be null), titled and named.
void makeToolWindow(QWidget& window, const QString& name, const QString& title);
// Shows a tool window and brings it to the front.
void present(QWidget& window);
// For a panel whose other half is a drag on the preview, which gives the parent window the keyboard: while
// the panel shows, Escape there closes it too.
void closeOnEscapeInParentWindow(QWidget& panel);

} // namespace editing_panel
