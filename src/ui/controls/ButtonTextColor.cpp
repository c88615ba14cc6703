#include "ui/controls/ButtonTextColor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>
#include <QVariant>

namespace button_text_color {

namespace {
constexpr const char* kColourProperty = "titleTextColor";
} // namespace

std::optional<QColor> textColor(const QAbstractButton& button) {
    if (button.text().isEmpty())
        return QApplication::palette(&button).color(QPalette::ButtonText);
    const QVariant stored = button.property(kColourProperty);
    if (!stored.isValid())
        return std::nullopt;
    return stored.value<QColor>();
}

void setTextColor(QAbstractButton& button, const QColor& colour) {
    button.setProperty(kColourProperty, colour);
    QPalette palette = button.palette();
    palette.setColor(QPalette::Active, QPalette::ButtonText, colour);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, colour);
    // A disabled button still looks disabled.
    QColor dimmed = colour;
    dimmed.setAlphaF(colour.alphaF() * 0.45f);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, dimmed);
    button.setPalette(palette);
}

void setTitle(QAbstractButton& button, const QString& title, const QColor& colour) {
    button.setText(title);
    setTextColor(button, colour);
}

} // namespace button_text_color
