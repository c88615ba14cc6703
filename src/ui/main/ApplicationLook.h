#pragma once

#include <QColor>
#include <QPalette>

class QApplication;

// The application's style and dark palette, under which the window's white titles read well. Every state
// of every control reads the right way round on it: a disabled control's text and marks are dimmer than an
// enabled one's on every surface (never etched, which on a dark palette only brightens them).
namespace application_look {

// The window's greys: its body, and the darker bars along its edges.
inline const QColor kWindowGrey{45, 45, 48};
inline const QColor kBarGrey{36, 36, 38};

QPalette palette();
void apply(QApplication& application);

} // namespace application_look
