#pragma once

#include <QImage>
#include <QString>

class QWidget;

// Pictures of widgets for a person to look at: grabbed under the offscreen platform (no X server) and
// saved as "<build>/screenshots/<name>.png". Tests check what they need on the answered picture.
namespace screenshot {

// The folder the pictures go to (made when missing).
QString folder();
// Lays out and grabs the widget with its children; saves it and answers the picture (null when the
// widget could not be drawn). A failed save is reported on stderr, not as a test failure.
QImage save(QWidget& widget, const QString& name);
// The same for a window together with the windows it holds that are shown (call-outs), each where it
// stands on the screen and clipped to its shape; the picture grows to hold them all.
QImage saveWithChildWindows(QWidget& window, const QString& name);

} // namespace screenshot
