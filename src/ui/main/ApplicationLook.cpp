#include "ui/main/ApplicationLook.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

namespace application_look {

namespace {

// How much of a disabled slider's handle shows over the surface it stands on.
constexpr double kDisabledHandleOpacity = 0.45;

// The toolkit's own flat style, with disabled text dimmed rather than etched: the etch draws the text once
// more in the palette's light colour, which on dark surfaces reads brighter than enabled text.
class ApplicationStyle : public QProxyStyle {
public:
    ApplicationStyle() : QProxyStyle(QStringLiteral("Fusion")) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_EtchDisabledText)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
    // The flat style edges a check box or radio button in a shade of the surface it stands on, which on the
    // dark surfaces (and the near-black call-outs) leaves the box all but invisible: it gets an edge of the
    // palette's light bevel colour, which sinks with the rest when the control is disabled.
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton)
            return;
        const QPalette::ColorGroup group =
            option->state & State_Enabled ? QPalette::Normal : QPalette::Disabled;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(option->palette.color(group, QPalette::Light), 1.0));
        painter->setBrush(Qt::NoBrush);
        const QRectF edge = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (element == PE_IndicatorRadioButton)
            painter->drawEllipse(edge);
        else
            painter->drawRoundedRect(edge, 1.5, 1.5);
        painter->restore();
    }
    // The flat style greys only a disabled slider's groove; its handle, drawn as solid as an enabled one's,
    // still offers itself to be dragged. It fades into the surface instead, the groove left out beneath it.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || !slider || (option->state & State_Enabled) ||
            !(slider->subControls & SC_SliderHandle)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect handle = subControlRect(CC_Slider, slider, SC_SliderHandle, widget);
        QStyleOptionSlider part = *slider;
        part.subControls &= ~SC_SliderHandle;
        painter->save();
        painter->setClipRegion(QRegion(slider->rect).subtracted(handle), Qt::IntersectClip);
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
        painter->restore();
        part.subControls = SC_SliderHandle;
        painter->save();
        painter->setOpacity(painter->opacity() * kDisabledHandleOpacity);
        QProxyStyle::drawComplexControl(control, &part, painter, widget);
        painter->restore();
    }
};

struct RoleColour {
    QPalette::ColorRole role;
    QColor colour;
};

} // namespace

QPalette palette() {
    // Enabled, in the window that has the focus or not.
    const RoleColour enabled[] = {
        {QPalette::Window, kWindowGrey},
        {QPalette::WindowText, QColor(230, 230, 230)},
        {QPalette::Base, QColor(30, 30, 32)},
        {QPalette::AlternateBase, kBarGrey},
        {QPalette::Text, QColor(230, 230, 230)},
        {QPalette::PlaceholderText, QColor(140, 140, 145)},
        {QPalette::Button, QColor(64, 64, 68)},
        {QPalette::ButtonText, QColor(240, 240, 240)},
        {QPalette::BrightText, Qt::white},
        {QPalette::Highlight, QColor(74, 155, 255)},
        {QPalette::HighlightedText, Qt::white},
        {QPalette::Link, QColor(110, 175, 255)},
        {QPalette::LinkVisited, QColor(170, 140, 255)},
        {QPalette::ToolTipBase, kBarGrey},
        {QPalette::ToolTipText, Qt::white},
        // Bevels shaded for a dark surface: lighter above, darker below, never white.
        {QPalette::Light, QColor(96, 96, 102)},
        {QPalette::Midlight, QColor(76, 76, 80)},
        {QPalette::Mid, QColor(52, 52, 56)},
        {QPalette::Dark, QColor(28, 28, 30)},
        {QPalette::Shadow, QColor(12, 12, 14)},
    };
    // Disabled: text and marks sink towards their surfaces, which flatten a little; the selection colour
    // greys, so that a disabled slider's or list's fill no longer reads as live.
    const QColor dimText(122, 122, 128);
    const RoleColour disabled[] = {
        {QPalette::WindowText, dimText},           {QPalette::Text, dimText},
        {QPalette::ButtonText, dimText},           {QPalette::PlaceholderText, QColor(92, 92, 98)},
        {QPalette::Base, QColor(38, 38, 41)},      {QPalette::Button, QColor(54, 54, 58)},
        {QPalette::Highlight, QColor(84, 84, 90)}, {QPalette::HighlightedText, QColor(160, 160, 166)},
        {QPalette::Light, QColor(64, 64, 68)},     {QPalette::Link, QColor(100, 120, 150)},
    };
    QPalette look;
    for (const RoleColour& entry : enabled)
        look.setColor(entry.role, entry.colour);
    for (const RoleColour& entry : disabled)
        look.setColor(QPalette::Disabled, entry.role, entry.colour);
    return look;
}

void apply(QApplication& application) {
    application.setStyle(new ApplicationStyle); // the application takes it
    application.setPalette(palette());
}

} // namespace application_look
