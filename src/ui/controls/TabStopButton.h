#pragma once

class QAbstractButton;

namespace tab_stop_button {

// Makes a window's button a stop of the Tab key that Space presses while the button has the focus, also where
// Space is the shortcut of another command of the window. A click leaves the focus where it was, so that keys
// meant for the view a person works in keep reaching it.
void makeTabStop(QAbstractButton& button);

} // namespace tab_stop_button
