#pragma once

#include <QColor>

#include <optional>

class QAbstractButton;
class QString;

// The colour of a button's title, kept with the button so that it can be read back. A title recoloured
// keeps its font and alignment.
namespace button_text_color {

// The colour set with setTextColor. A button without a title answers the style's control text colour; a
// button whose title was never given a colour answers none.
std::optional<QColor> textColor(const QAbstractButton& button);
// Colours the whole title (dimmed while the button is disabled).
void setTextColor(QAbstractButton& button, const QColor& colour);
// A new title in that colour.
void setTitle(QAbstractButton& button, const QString& title, const QColor& colour);

} // namespace button_text_color
