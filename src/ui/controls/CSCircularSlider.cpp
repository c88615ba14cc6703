#include "ui/controls/CSCircularSlider.h"

#include "platform/foundation/StandardPaths.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <map>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMargin = 10.5; // the tick marks live in it
constexpr double kTrackInset = 3.0;
constexpr double kRimBand = 5.0;
constexpr double kFineDivisor = 10.0;
constexpr int kKnobImageMargin = 4; // the knob pictures hold a shadow around the knob

QColor grey(double level, double alpha) {
    QColor colour = QColor::fromRgbF(float(level), float(level), float(level));
    colour.setAlphaF(float(alpha));
    return colour;
}

// One slot per picture name, filled on first use; the widgets live on the main thread.
QImage cachedImage(const QString& name, const QString& type) {
    static std::map<QString, QImage> cache;
    const auto found = cache.find(name);
    if (found != cache.end())
        return found->second;
    return cache.emplace(name, QImage(platform::paths::pathForResource(name, type))).first->second;
}

} // namespace

QImage CSCircularSlider::baseImageWithCenter(bool center, bool nonEdge, bool big) {
    static const char* const kinds[2][2] = {{"DonutSlider", "RingSlider"},
                                            {"TargetSlider", "CircularSlider"}};
    return cachedImage(QLatin1String(big ? "big" : "small") + QLatin1String(kinds[center][nonEdge]),
                       QStringLiteral("png"));
}

QImage CSCircularSlider::knobImageWithTint(int tint, bool highlighted, bool big) {
    QString kind;
    if (tint == Blue)
        kind = highlighted ? QStringLiteral("BlueHighlightedKnob") : QStringLiteral("BlueKnob");
    else if (tint == Graphite)
        kind = highlighted ? QStringLiteral("GraphiteHighlightedKnob") : QStringLiteral("GraphiteKnob");
    else if (tint == -1)
        kind = QStringLiteral("InactiveKnob");
    else
        return QImage();
    return cachedImage(QLatin1String(big ? "big" : "small") + kind, QStringLiteral("tiff"));
}

CSCircularSlider::CSCircularSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus); // the modifier keys reach it while it is dragged
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

// ---- units

float CSCircularSlider::radiansFromDegrees(float degrees) {
    float radians = float(degrees / -180.0f * kPi + kPi / 2.0);
    if (radians < -kPi)
        radians += float(2.0 * kPi);
    return radians;
}

float CSCircularSlider::degreesFromRadians(float radians) {
    float degrees = float(double(radians) / kPi * -180.0) + 90.0f;
    if (degrees < 0.0f)
        degrees += 360.0f;
    return degrees;
}

// ---- the value

void CSCircularSlider::store(float angle, float distance) {
    if (angle == angleRadians && distance == distanceValue)
        return;
    angleRadians = angle;
    distanceValue = distance;
    update();
}

void CSCircularSlider::setAngle(float angle, float distance) {
    float radians = units == Degrees ? radiansFromDegrees(angle) : angle;
    constrainAngle(&radians, &distance);
    store(radians, distance);
}

void CSCircularSlider::getAngle(float* angle, float* distance) const {
    if (angle)
        *angle = units == Degrees ? degreesFromRadians(angleRadians) : angleRadians;
    if (distance)
        *distance = distanceValue;
}

void CSCircularSlider::setXOffset(float x, float y) {
    float angle = 0.0f;
    float distance = 0.0f;
    if (x != 0.0f || y != 0.0f) {
        angle = float(std::atan2(double(y), double(x)));
        distance = float(std::sqrt(double(x) * x + double(y) * y));
    }
    constrainAngle(&angle, &distance);
    store(angle, distance);
}

void CSCircularSlider::getXOffset(float* x, float* y) const {
    if (x)
        *x = float(double(distanceValue) * std::cos(double(angleRadians)));
    if (y)
        *y = float(double(distanceValue) * std::sin(double(angleRadians)));
}

void CSCircularSlider::setAppearance(int value) {
    value = value == -1 ? Automatic : value;
    if (value == look)
        return;
    look = value;
    update();
}

void CSCircularSlider::setAllowsCenterPoint(bool value) {
    if (value == allowsCenter)
        return;
    allowsCenter = value;
    constrainState();
    update();
}

void CSCircularSlider::setAllowsNonEdgePositions(bool value) {
    if (value == allowsNonEdge)
        return;
    allowsNonEdge = value;
    constrainState();
    update();
}

void CSCircularSlider::setMaximumDistance(float value) {
    if (value == maxDistance)
        return;
    maxDistance = value;
    constrainState();
    update();
}

void CSCircularSlider::setSnapBehavior(int value) {
    if (value != snap) {
        snap = value;
        update();
    }
}

void CSCircularSlider::setNumberOfSnapMarks(int value) {
    value = std::max(1, value);
    if (value != snapMarks) {
        snapMarks = value;
        update();
    }
}

void CSCircularSlider::setDrawTicksBehavior(int value) {
    if (value != ticks) {
        ticks = value;
        update();
    }
}

bool CSCircularSlider::sendAction() {
    if (!target)
        return false;
    target(*this);
    return true;
}

// ---- constraints

bool CSCircularSlider::constrainState() {
    float angle = angleRadians;
    float distance = distanceValue;
    if (!constrainAngle(&angle, &distance))
        return false;
    angleRadians = angle;
    distanceValue = distance;
    update();
    return true;
}

bool CSCircularSlider::constrainAngle(float* angle, float* distance) const {
    bool changed = false;
    if (*distance > maxDistance) {
        *distance = maxDistance;
        changed = true;
    }
    if (*distance < maxDistance && !allowsNonEdge) {
        if (*distance < maxDistance / 2.0f && allowsCenter) {
            if (*distance != 0.0f) {
                *angle = 0.0f;
                *distance = 0.0f;
                changed = true;
            }
        } else {
            *distance = maxDistance;
            changed = true;
        }
    }
    if (*distance == 0.0f && !allowsCenter) {
        *angle = 0.0f;
        *distance = 0.01f;
        changed = true;
    }
    return snapAngle(angle, distance) || changed;
}

bool CSCircularSlider::snapAngle(float* angle, float*) const {
    if (snap != Always && !(snap == WhileShift && shiftDown()))
        return false;
    const float step = float(2.0 * kPi / std::max(1, snapMarks));
    float value = *angle;
    if (value < 0.0f)
        value += float(2.0 * kPi);
    const float whole = std::trunc(value / step);
    const float lower = whole * step;
    const float upper = (whole + 1.0f) * step;
    float snapped = value - lower < upper - value ? lower : upper;
    if (snapped > kPi)
        snapped -= float(2.0 * kPi);
    if (snapped == *angle)
        return false;
    *angle = snapped;
    return true;
}

// ---- geometry (y-up, origin at the bottom left of the bounds)

CSCircularSlider::Geometry CSCircularSlider::geometry() const {
    Geometry g;
    g.dial = QRectF(kMargin, kMargin, width() - 2 * kMargin, height() - 2 * kMargin);
    g.r = float(g.dial.width() / 2.0);
    g.centre = QPointF(g.dial.x() + g.r, g.dial.y() + g.r); // meant to be square: the width decides
    g.track = float(g.r - kTrackInset);
    return g;
}

QPointF CSCircularSlider::toYUp(QPointF widgetPoint) const {
    return QPointF(widgetPoint.x(), height() - widgetPoint.y());
}

QPointF CSCircularSlider::knobCentre() const {
    const Geometry g = geometry();
    float x = 0.0f;
    float y = 0.0f;
    getXOffset(&x, &y);
    return g.centre + QPointF(g.track * x / maxDistance, g.track * y / maxDistance);
}

void CSCircularSlider::setBallToClosestFit(QPointF point) {
    const Geometry g = geometry();
    if (g.track <= 0.0f)
        return;
    setXOffset(float((point.x() - g.centre.x()) / g.track * maxDistance),
               float((point.y() - g.centre.y()) / g.track * maxDistance));
}

// ---- drawing

int CSCircularSlider::tint() const {
    const int shown = look == Automatic ? Blue : look;
    if (shown != Blue && shown != Graphite)
        return shown;
    if (!activeOverride.value_or(isActiveWindow()) || !isEnabled())
        return -1;
    return shown;
}

void CSCircularSlider::setWindowActiveOverride(std::optional<bool> active) {
    activeOverride = active;
    update();
}

void CSCircularSlider::computeBallRadius() {
    if (look != Plain && width() == 80 && height() == 80)
        knobRadius = 8;
    else if (look != Plain && width() == 60 && height() == 60)
        knobRadius = 6;
    else
        knobRadius = int(std::ceil(width() / 10.0));
}

// The two sizes with pictures show them; any other size, the plain appearance and a missing picture draw
// plainly. Pictures are drawn as they are; the rest in the dial's y-up space.
void CSCircularSlider::paintEvent(QPaintEvent*) {
    computeBallRadius();
    const Geometry g = geometry();
    const double alpha = isEnabled() ? 1.0 : 0.6;
    const bool big = width() == 80 && height() == 80;
    const bool pictured = look != Plain && (big || (width() == 60 && height() == 60));
    const QImage dialImage = pictured ? baseImageWithCenter(allowsCenter, allowsNonEdge, big) : QImage();
    const QImage knobImage = pictured ? knobImageWithTint(tint(), highlighted, big) : QImage();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(alpha);
    if (!dialImage.isNull()) {
        const int side = int(std::trunc(double(width())));
        painter.drawImage(rect(), dialImage, QRect(0, 0, side, side));
    }
    painter.setOpacity(1.0);
    painter.translate(0, height());
    painter.scale(1, -1);

    if (dialImage.isNull()) {
        QPainterPath dial;
        dial.setFillRule(Qt::OddEvenFill); // the rim band and the centre dot are holes or islands
        dial.addEllipse(g.dial);
        if (!allowsNonEdge)
            dial.addEllipse(g.dial.adjusted(kRimBand, kRimBand, -kRimBand, -kRimBand));
        const double half = std::trunc(std::trunc(double(width())) / 2.0);
        const double dotInset = half - 14.0;
        if (allowsNonEdge != allowsCenter)
            dial.addEllipse(g.dial.adjusted(dotInset, dotInset, -dotInset, -dotInset));
        painter.setPen(QPen(grey(0.4, alpha), 1.0));
        painter.setBrush(grey(0.8, alpha));
        painter.drawPath(dial);
    }

    if (snapMarks != 0 && (ticks == Always || (ticks == WhileShift && shiftDown() && highlighted))) {
        QPainterPath marks;
        const float step = float(2.0 * kPi / snapMarks);
        float theta = 0.0f;
        const double rx = (g.dial.width() + 10.0) / 2.0;
        const double ry = (g.dial.height() + 10.0) / 2.0;
        for (int i = 0; i < snapMarks; ++i, theta += step) {
            const double c = std::cos(double(theta));
            const double s = std::sin(double(theta));
            marks.moveTo(g.centre + QPointF(rx * c, ry * s));
            marks.lineTo(g.centre + QPointF((rx + 5.0) * c, (ry + 5.0) * s));
        }
        painter.setPen(QPen(grey(0.0, isEnabled() ? 0.52 : 0.25), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(marks);
    }

    const QPointF knob = knobCentre();
    const double k = knobRadius + (knobImage.isNull() ? 0 : kKnobImageMargin);
    const QRectF knobRect(std::round(knob.x() - k), std::round(knob.y() - k), 2 * k, 2 * k);
    if (!knobImage.isNull()) {
        painter.resetTransform();
        painter.setOpacity(alpha);
        const QRectF shown(knobRect.x(), height() - knobRect.y() - knobRect.height(), knobRect.width(),
                           knobRect.height());
        painter.drawImage(shown, knobImage, QRectF(0, 0, 2 * k, 2 * k));
        return;
    }
    painter.setPen(QPen(grey(0.0, alpha), 1.0));
    // The tints live in the pictures: a knob drawn plainly is grey whatever the appearance.
    painter.setBrush(grey(highlighted ? 0.4 : 0.6, alpha));
    painter.drawEllipse(knobRect);
}

void CSCircularSlider::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

// ---- tracking

void CSCircularSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    eventModifiers = event->modifiers();
    const QPointF point = toYUp(event->position());
    const QPointF knob = knobCentre();
    const QPointF offset = point - QPointF(std::round(knob.x()), std::round(knob.y()));
    const bool onKnob = std::hypot(offset.x(), offset.y()) <= knobRadius + 1;
    grabOffset = QPointF();
    if (onKnob) {
        grabOffset = offset;
    } else {
        const Geometry g = geometry();
        const double d = std::hypot(point.x() - g.centre.x(), point.y() - g.centre.y());
        const bool allowed = d < g.r + 1.0 && (d < 4.0 ? allowsCenter : (d >= g.r - 6.0 || allowsNonEdge));
        if (!allowed) {
            eventModifiers = {};
            return;
        }
        setBallToClosestFit(point);
        if (continuous)
            sendAction();
    }
    tracking = true;
    lastPointer = point;
    altAnchor.reset();
    if (eventModifiers.testFlag(Qt::AltModifier))
        altAnchor = point - grabOffset;
    highlighted = true;
    update();
}

// Alt moves the knob a tenth as far as the pointer, from where Alt went down (or the press, when it was
// down already); without Alt the knob follows the pointer at once.
void CSCircularSlider::trackTo(QPointF pointer, Qt::KeyboardModifiers modifiers) {
    eventModifiers = modifiers;
    lastPointer = pointer;
    QPointF wanted = pointer - grabOffset;
    if (modifiers.testFlag(Qt::AltModifier)) {
        if (!altAnchor)
            altAnchor = wanted;
        wanted = *altAnchor + (wanted - *altAnchor) / kFineDivisor;
    } else {
        altAnchor.reset();
    }
    setBallToClosestFit(wanted);
    update(); // the tick marks follow Shift
}

void CSCircularSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!tracking)
        return;
    trackTo(toYUp(event->position()), event->modifiers());
    if (continuous)
        sendAction();
}

void CSCircularSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!tracking || event->button() != Qt::LeftButton)
        return;
    trackTo(toYUp(event->position()), event->modifiers());
    sendAction();
    tracking = false;
    highlighted = false;
    eventModifiers = {};
    update();
}

void CSCircularSlider::modifiersChanged(Qt::KeyboardModifiers modifiers) {
    if (!tracking)
        return;
    trackTo(lastPointer, modifiers);
    if (continuous)
        sendAction();
}

void CSCircularSlider::keyPressEvent(QKeyEvent* event) {
    if (tracking && (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Alt))
        modifiersChanged(event->modifiers());
    else
        QWidget::keyPressEvent(event);
}

void CSCircularSlider::keyReleaseEvent(QKeyEvent* event) {
    if (tracking && (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Alt))
        modifiersChanged(event->modifiers());
    else
        QWidget::keyReleaseEvent(event);
}
