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
    // A push button draws its title in the button text colour, a check box or radio button in the window
    // text colour beside its box.
    for (const QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText}) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
        // A disabled button still looks disabled.
        QColor dimmed = colour;
        dimmed.setAlphaF(colour.alphaF() * 0.45f);
        palette.setColor(QPalette::Disabled, role, dimmed);
    }
    button.setPalette(palette);
}

void setTitle(QAbstractButton& button, const QString& title, const QColor& colour) {
    button.setText(title);
    setTextColor(button, colour);
}

} // namespace button_text_color
