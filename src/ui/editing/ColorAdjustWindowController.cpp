#include "ui/editing/ColorAdjustWindowController.h"

#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/EditingPanelSupport.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace {

const QString kSaturationKey = QStringLiteral("Saturation");
const QString kBrightnessKey = QStringLiteral("Brightness");
const QString kContrastKey = QStringLiteral("Contrast");

DoubleSlider* colourSlider(const char* name, const double range[2], double neutral, QWidget* parent) {
    auto* slider = new DoubleSlider(range[0], range[1], 1000, parent); // the window owns its parts
    slider->setObjectName(QString::fromLatin1(name));
    slider->setMinimumWidth(240);
    const QSignalBlocker quiet(slider);
    slider->setDoubleValue(neutral);
    return slider;
}

} // namespace

QVariantMap ColorAdjustWindowController::neutralColorDict() {
    return {{kSaturationKey, 1.0f}, {kBrightnessKey, 0.0f}, {kContrastKey, 1.0f}};
}

ColorAdjustWindowController::ColorAdjustWindowController(QWidget* parent)
    : QWidget(parent), colours(neutralColorDict()),
      saturation(colourSlider("slider1", kSaturation, 1.0, this)),
      brightness(colourSlider("slider2", kBrightness, 0.0, this)),
      contrast(colourSlider("slider3", kContrast, 1.0, this)) {
    editing_panel::makeToolWindow(*this, QStringLiteral("ColorAdjustWindowController"), tr_("Adjust Colour"));
    auto* reset = new QPushButton(tr_("Reset"), this);
    reset->setObjectName("resetButton");
    auto* ok = new QPushButton(tr_("OK"), this);
    ok->setObjectName("okButton");
    auto* grid = new QGridLayout(this); // the window owns its layout
    grid->setContentsMargins(14, 12, 14, 12);
    grid->addWidget(new QLabel(tr_("Saturation"), this), 0, 0);
    grid->addWidget(saturation, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr_("Brightness"), this), 1, 0);
    grid->addWidget(brightness, 1, 1, 1, 2);
    grid->addWidget(new QLabel(tr_("Contrast"), this), 2, 0);
    grid->addWidget(contrast, 2, 1, 1, 2);
    grid->addWidget(reset, 3, 1, Qt::AlignRight);
    grid->addWidget(ok, 3, 2, Qt::AlignRight);
    connect(saturation, &QSlider::valueChanged, this, &ColorAdjustWindowController::Slide1Changed);
    connect(brightness, &QSlider::valueChanged, this, &ColorAdjustWindowController::Slide2Changed);
    connect(contrast, &QSlider::valueChanged, this, &ColorAdjustWindowController::Slide3Changed);
    connect(reset, &QPushButton::clicked, this, &ColorAdjustWindowController::ResetButtonClicked);
    connect(ok, &QPushButton::clicked, this, &ColorAdjustWindowController::OKButtonClicked);
    adjustSize();
}

void ColorAdjustWindowController::post(const QVariantMap& userInfo) const {
    platform::NotificationCenter::defaultCenter().post(kNotifyColorAdjustChanged, colours, userInfo);
}

void ColorAdjustWindowController::Slide1Changed() {
    colours.insert(kSaturationKey, float(saturation->doubleValue()));
    post();
}

void ColorAdjustWindowController::Slide2Changed() {
    colours.insert(kBrightnessKey, float(brightness->doubleValue()));
    post();
}

void ColorAdjustWindowController::Slide3Changed() {
    colours.insert(kContrastKey, float(contrast->doubleValue()));
    post();
}

void ColorAdjustWindowController::ResetButtonClicked() {
    colours = neutralColorDict();
    post();
}

void ColorAdjustWindowController::OKButtonClicked() {
    post({{QStringLiteral("Action"), QStringLiteral("OK")}});
    closingAfterOK = true;
    close();
    closingAfterOK = false;
}

// The preview showed the sliders' values on the slide; without OK none of them is applied, and none is kept:
// the next move of a slider would preview them all again, and OK write them into the picture.
void ColorAdjustWindowController::closeEvent(QCloseEvent* event) {
    if (!closingAfterOK && isVisible()) {
        colours = neutralColorDict();
        showColours();
        post({{QStringLiteral("Action"), QStringLiteral("Cancel")}});
    }
    QWidget::closeEvent(event);
}

void ColorAdjustWindowController::showColours() {
    const std::pair<DoubleSlider*, const QString&> handles[] = {
        {saturation, kSaturationKey}, {brightness, kBrightnessKey}, {contrast, kContrastKey}};
    for (const auto& [slider, key] : handles) {
        const QSignalBlocker quiet(slider); // placed, not moved: nothing to preview
        slider->setDoubleValue(colours.value(key).toDouble());
    }
}

ColorAdjustObject::ColorAdjustObject(QWidget* parentWindow)
    : window(new ColorAdjustWindowController(parentWindow)) { // goes with this object, or with its window
    auto& center = platform::NotificationCenter::defaultCenter();
    toolboxObserver = platform::ObserverHandle(
        center,
        center.addObserver(kNotifyToolboxButtonClicked, [this](const platform::Notification& notification) {
            ToolboxButtonColorAdjustClicked(notification);
        }));
}

ColorAdjustObject::~ColorAdjustObject() {
    delete window.data(); // a window whose parent window has gone is null here
}

void ColorAdjustObject::ToolboxButtonColorAdjustClicked(const platform::Notification& notification) {
    if (notification.object.toString() == QLatin1String("ColorAdjust") && window)
        editing_panel::present(*window);
}
