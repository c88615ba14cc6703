#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ProjectSource.h"

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

class CSCircularSlider;

// The floating pan-and-zoom panel of the current slide: scale, a rotation dial and the buttons that take
// the view as the slide's start or end frame. It edits nothing itself: each change is posted as
// "NOTIFY_PANZOOM_CHANGED" ({"NAME", "VALUE"}) for the main window controller, and so is its closing
// ("CLOSE"). While it is used the preview is in pan mode (status 3), where a drag pans; closing it leaves
// pan mode. Lives for the whole run; the panel is made on first use.
class PanZoomObject : public QObject {
    Q_OBJECT
public:
    // Scale 50..200 is zoom 1 to 4 (the controller divides by 50).
    static constexpr int kScaleRange[2] = {50, 200};

    // The edit mode is set on the project.
    explicit PanZoomObject(ProjectSource project, QWidget* parentWindow = nullptr);
    ~PanZoomObject() override;

    void PanzoomButtonClicked();
    void ToolboxButtonPanZoomClicked(const platform::Notification& notification);
    void sliderScaleChanged();
    // The dial's angle, negated so that clockwise is positive.
    void sliderChanged();
    // A linear rotation control's value, compared with the dial's last one.
    void sliderRotateChanged(double value);
    void SetStartFrameButtonClicked();
    void SetEndFrameButtonClicked();

    QWidget* panzoomPanel() const { return panel; }
    QSlider* scaleSlider() const { return scale; }
    CSCircularSlider* m_scaleSlider() const { return dial; }
    double lastFloatValue() const { return lastScale; }
    double lastFloatValue_Ratation() const { return lastRotation; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makePanel();
    void post(const QString& name, double value) const;
    void rotateTo(double value);

    ProjectSource projectSource;
    QPointer<QWidget> parentWindow;
    QPointer<QWidget> panel;
    QSlider* scale = nullptr;
    CSCircularSlider* dial = nullptr;
    double lastScale = 0.0;
    double lastRotation = 0.0;
    platform::ObserverHandle toolboxObserver;
};
