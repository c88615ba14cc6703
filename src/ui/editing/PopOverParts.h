#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QWidget;

// Parts of the dark pop-overs, which are darker than the window: white texts, and check boxes with a lighter
// square that does not vanish into the background. The pop-over given as parent owns them.
namespace pop_over {

QLabel* whiteLabel(const QString& text, QWidget* parent);
QCheckBox* visibleCheckBox(const QString& text, QWidget* parent);

} // namespace pop_over
