#pragma once

#include "platform/foundation/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QVariantMap>
#include <QWidget>

class DoubleSlider;

// The colour window: saturation, brightness and contrast of the current slide, posted as
// "NSNOTIFY_COLORADJUST_CHANGED" with the whole colour dictionary; OK posts it once more with
// {"Action": "OK"}, which writes it into the slide. The dictionary carries its values across slides. Closed
// without OK, it goes back to the neutral values, sliders included, and posts them with {"Action": "Cancel"},
// so that the preview shows the slide as it is.
// The ranges are those of the colour filter: saturation 0..2, brightness -1..1, contrast 0.25..4.
class ColorAdjustWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr double kSaturation[2] = {0.0, 2.0};
    static constexpr double kBrightness[2] = {-1.0, 1.0};
    static constexpr double kContrast[2] = {0.25, 4.0};

    explicit ColorAdjustWindowController(QWidget* parent = nullptr);

    QVariantMap colorDict() const { return colours; }
    // The neutral values: saturation 1, brightness 0, contrast 1.
    static QVariantMap neutralColorDict();

    void Slide1Changed();
    void Slide2Changed();
    void Slide3Changed();
    // The neutral values are posted; the sliders stay where they are.
    void ResetButtonClicked();
    void OKButtonClicked();

    DoubleSlider* slider1() const { return saturation; }
    DoubleSlider* slider2() const { return brightness; }
    DoubleSlider* slider3() const { return contrast; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void post(const QVariantMap& userInfo = {}) const;
    // The handles at the dictionary's values.
    void showColours();

    QVariantMap colours;
    bool closingAfterOK = false;
    DoubleSlider* saturation;
    DoubleSlider* brightness;
    DoubleSlider* contrast;
};

// Owns the colour window for the whole run; the toolbox's "ColorAdjust" shows it.
class ColorAdjustObject : public QObject {
    Q_OBJECT
public:
    explicit ColorAdjustObject(QWidget* parentWindow = nullptr);
    ~ColorAdjustObject() override;

    void ToolboxButtonColorAdjustClicked(const platform::Notification& notification);
    ColorAdjustWindowController* colorWndController() const { return window; }

private:
    QPointer<ColorAdjustWindowController> window;
    platform::ObserverHandle toolboxObserver;
};
