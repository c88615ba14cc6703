#include "ui/editing/PopOverParts.h"

#include <QCheckBox>
#include <QLabel>

namespace pop_over {

QLabel* whiteLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent); // the pop-over owns its parts
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

QCheckBox* visibleCheckBox(const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent); // the pop-over owns its parts
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QColor(88, 88, 92));
    palette.setColor(QPalette::WindowText, Qt::white);
    box->setPalette(palette);
    return box;
}

} // namespace pop_over
