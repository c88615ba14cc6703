#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <optional>

// A knob inside a circular dial: one value made of an angle and a distance from the centre (or an x and a
// y offset). Angles are kept in radians, counter-clockwise from +x, in y-up coordinates; the widget's own
// y-down coordinates are converted only where it paints and where the mouse lands. Units 1 show the angle
// as degrees clockwise from the top, in [0, 360).
class CSCircularSlider : public QWidget {
    Q_OBJECT
public:
    enum Units { Radians = 0, Degrees = 1 };
    enum Appearance { Automatic = 0, Blue = 1, Graphite = 2, Plain = 3 };
    enum Behavior { Never = 0, Always = 1, WhileShift = 2 };

    explicit CSCircularSlider(QWidget* parent = nullptr);

    // ---- the value, in the current units; the setters constrain and redraw only on a change
    void setAngle(float angle, float distance);
    void getAngle(float* angle, float* distance) const;
    void setXOffset(float x, float y);
    void getXOffset(float* x, float* y) const;

    int angleUnits() const { return units; }
    void setAngleUnits(int value) { units = value; }
    int appearance() const { return look; }
    void setAppearance(int value);
    bool allowsCenterPoint() const { return allowsCenter; }
    void setAllowsCenterPoint(bool value);
    bool allowsNonEdgePositions() const { return allowsNonEdge; }
    void setAllowsNonEdgePositions(bool value);
    float maximumDistance() const { return maxDistance; }
    void setMaximumDistance(float value);
    int snapBehavior() const { return snap; }
    void setSnapBehavior(int value);
    // At least 1: a step of 2π / 0 would poison the angle.
    int numberOfSnapMarks() const { return snapMarks; }
    void setNumberOfSnapMarks(int value);
    int drawTicksBehavior() const { return ticks; }
    void setDrawTicksBehavior(int value);
    bool isContinuous() const { return continuous; }
    void setContinuous(bool value) { continuous = value; }

    // What a change sends: the slider itself as sender. false when there is no action.
    void setAction(std::function<void(CSCircularSlider&)> action) { target = std::move(action); }
    bool sendAction();

    // ---- the steps every position goes through (radians)
    bool constrainState();
    bool constrainAngle(float* angle, float* distance) const;
    bool snapAngle(float* angle, float* distance) const;

    // ---- pictures: loaded on first use and kept for the run; null where the combination has none, or its
    // file is missing (the element is then drawn plainly)
    // The dial by where the knob may rest, 80 points across (big) or 60.
    static QImage baseImageWithCenter(bool center, bool nonEdge, bool big);
    // The knob for tint 1 (blue), 2 (graphite) or -1 (inactive), pressed or not: 24 points across (big)
    // or 20.
    static QImage knobImageWithTint(int tint, bool highlighted, bool big);

    // ---- units
    static float radiansFromDegrees(float degrees);
    static float degreesFromRadians(float radians);

    // ---- drawing state
    // The knob radius, recomputed by every paint (0 before the first).
    int ballRadius() const { return knobRadius; }
    bool isBallHighlighted() const { return highlighted; }
    // 1 blue, 2 graphite, -1 inactive (window not active, or disabled), 3 plain.
    int tint() const;
    // Whether the window counts as active; unset asks the window (tests set it: without a window manager
    // activation is unreliable).
    void setWindowActiveOverride(std::optional<bool> active);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    struct Geometry {
        QRectF dial; // y-up
        float r = 0;
        QPointF centre;
        float track = 0;
    };
    Geometry geometry() const;
    QPointF toYUp(QPointF widgetPoint) const;
    QPointF knobCentre() const;
    void store(float angle, float distance);
    void setBallToClosestFit(QPointF yUpPoint);
    void trackTo(QPointF pointer, Qt::KeyboardModifiers modifiers);
    void modifiersChanged(Qt::KeyboardModifiers modifiers);
    bool shiftDown() const { return eventModifiers.testFlag(Qt::ShiftModifier); }
    void computeBallRadius();

    std::function<void(CSCircularSlider&)> target;
    bool continuous = true;
    bool allowsCenter = true;
    bool allowsNonEdge = true;
    float maxDistance = 1.0f;
    int knobRadius = 0;
    int look = Automatic;
    float angleRadians = 0.0f;
    float distanceValue = 1.0f;
    int units = Radians;
    int snap = Never;
    int snapMarks = 8;
    int ticks = Never;
    bool highlighted = false;
    std::optional<bool> activeOverride;

    // Tracking: the modifiers of the event being handled, the grab offset, the Alt anchor.
    Qt::KeyboardModifiers eventModifiers;
    bool tracking = false;
    QPointF grabOffset;
    QPointF lastPointer;
    std::optional<QPointF> altAnchor;
};
