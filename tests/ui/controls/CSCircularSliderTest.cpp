#include "ui/controls/CSCircularSlider.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

struct Position {
    float angle, distance;
};

Position positionOf(const CSCircularSlider& slider) {
    Position p{};
    slider.getAngle(&p.angle, &p.distance);
    return p;
}

// A press, moves and release at widget points; the modifiers of each event as given.
void mouse(CSCircularSlider& slider, QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = {}) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, slider.mapToGlobal(at), button, held, modifiers);
    QCoreApplication::sendEvent(&slider, &event);
}

} // namespace

TEST(CSCircularSlider, DegreesRunClockwiseFromTheTopAndNeverGoNegative) {
    CSCircularSlider slider;
    slider.setAngleUnits(CSCircularSlider::Degrees);
    const struct { float degrees, x, y; } cases[] = {{0, 0, 1}, {90, 1, 0}, {180, 0, -1}, {270, -1, 0}};
    for (const auto& c : cases) {
        slider.setAngle(c.degrees, 1.0f);
        float x = 0, y = 0;
        slider.getXOffset(&x, &y);
        EXPECT_NEAR(x, c.x, 1e-5) << c.degrees;
        EXPECT_NEAR(y, c.y, 1e-5) << c.degrees;
        EXPECT_NEAR(positionOf(slider).angle, c.degrees, 1e-3) << "read back in [0, 360)";
    }
    slider.setXOffset(-1.0f, 0.0f);
    EXPECT_NEAR(positionOf(slider).angle, 270.0f, 1e-3) << "the left";
}

TEST(CSCircularSlider, SnapsToTheNearerMarkAndTiesGoUp) {
    CSCircularSlider slider;
    slider.setSnapBehavior(CSCircularSlider::Always);
    const struct {
        float angle, snapped;
    } cases[] = {{0.4f, kPi / 4}, {kPi / 8, kPi / 4}, {0.3f, 0.0f}, {-0.4f, -kPi / 4}, {2.5f, 3 * kPi / 4}};
    for (const auto& c : cases) {
        slider.setAngle(c.angle, 1.0f);
        EXPECT_NEAR(positionOf(slider).angle, c.snapped, 1e-5) << c.angle;
    }
    slider.setNumberOfSnapMarks(0);
    EXPECT_EQ(slider.numberOfSnapMarks(), 1) << "2π / 0 would poison the angle";
    slider.setAngle(0.4f, 1.0f);
    EXPECT_FALSE(std::isnan(positionOf(slider).angle));

    slider.setSnapBehavior(CSCircularSlider::WhileShift);
    slider.setNumberOfSnapMarks(8);
    slider.setAngle(0.4f, 1.0f);
    EXPECT_FLOAT_EQ(positionOf(slider).angle, 0.4f) << "no Shift, no snap";
}

TEST(CSCircularSlider, ConstraintsPullThePositionOntoTheAllowedRegion) {
    const struct {
        bool centre, nonEdge;
        float distanceIn;
        Position out;
    } cases[] = {
        {true, true, 2.0f, {0.5f, 1.0f}},   // beyond the rim: on it
        {true, false, 0.4f, {0.0f, 0.0f}},  // inside half: the centre
        {true, false, 0.6f, {0.5f, 1.0f}},  // beyond half: the rim
        {false, false, 0.0f, {0.5f, 1.0f}}, // neither: the rim
        {false, true, 0.0f, {0.0f, 0.01f}}, // no centre: just off it
    };
    for (const auto& c : cases) {
        CSCircularSlider slider;
        slider.setAllowsCenterPoint(c.centre);
        slider.setAllowsNonEdgePositions(c.nonEdge);
        slider.setAngle(0.5f, c.distanceIn);
        const Position p = positionOf(slider);
        EXPECT_FLOAT_EQ(p.distance, c.out.distance) << c.centre << c.nonEdge << c.distanceIn;
        if (c.out.distance != 0.0f && c.distanceIn != 0.0f) {
            EXPECT_FLOAT_EQ(p.angle, c.out.angle);
        }
    }
    CSCircularSlider slider;
    slider.setAngle(1.0f, 0.3f);
    slider.setAllowsNonEdgePositions(false);
    EXPECT_FLOAT_EQ(positionOf(slider).distance, 0.0f) << "a changed rule applies at once";
}

TEST(CSCircularSlider, TheKnobSizeFollowsTheViewAndTheTintTheWindowState) {
    const struct { int side, radius; } sizes[] = {{80, 8}, {60, 6}, {100, 10}};
    for (const auto& s : sizes) {
        CSCircularSlider slider;
        slider.resize(s.side, s.side);
        slider.grab();
        EXPECT_EQ(slider.ballRadius(), s.radius) << s.side;
    }
    CSCircularSlider slider;
    slider.setWindowActiveOverride(true);
    EXPECT_EQ(slider.tint(), CSCircularSlider::Blue) << "automatic is blue";
    slider.setWindowActiveOverride(false);
    EXPECT_EQ(slider.tint(), -1);
    slider.setWindowActiveOverride(true);
    slider.setEnabled(false);
    EXPECT_EQ(slider.tint(), -1);
}

TEST(CSCircularSlider, ClicksInsideTheDialMoveTheKnobAndAltMovesItATenth) {
    CSCircularSlider slider;
    slider.resize(100, 100); // dial radius 39.5 about (50, 50); track radius 36.5
    slider.grab();
    int actions = 0;
    slider.setAction([&](CSCircularSlider&) { ++actions; });
    slider.setAngle(0.0f, 1.0f);
    mouse(slider, QEvent::MouseButtonPress, QPointF(99, 99));
    EXPECT_EQ(actions, 0) << "outside the dial nothing happens";
    mouse(slider, QEvent::MouseButtonPress, QPointF(50, 50 - 18.25)); // half-way up
    EXPECT_TRUE(slider.isBallHighlighted());
    Position p = positionOf(slider);
    EXPECT_NEAR(p.angle, kPi / 2, 1e-4);
    EXPECT_NEAR(p.distance, 0.5f, 1e-3);
    mouse(slider, QEvent::MouseMove, QPointF(50, 50 - 18.25), Qt::AltModifier); // Alt goes down here
    mouse(slider, QEvent::MouseMove, QPointF(50 + 36.5, 50 - 18.25), Qt::AltModifier);
    float x = 0, y = 0;
    slider.getXOffset(&x, &y);
    EXPECT_NEAR(x, 0.1f, 1e-3) << "a tenth of the pointer's way";
    mouse(slider, QEvent::MouseButtonRelease, QPointF(50 + 36.5, 50));
    slider.getXOffset(&x, &y);
    EXPECT_NEAR(x, 1.0f, 1e-3) << "without Alt it jumps to the pointer";
    EXPECT_FALSE(slider.isBallHighlighted());
    EXPECT_EQ(actions, 4) << "press, two moves, release";
}

// The dials and knobs of the two sizes with pictures come from our generated pictures, one load per name
// for the run; the knob of a tint without a picture, and the plain appearance, have none.
TEST(CSCircularSlider, EachDialAndKnobOfTheTwoSizesHasItsPicture) {
    for (const bool big : {true, false}) {
        SCOPED_TRACE(big ? "big" : "small");
        const int side = big ? 80 : 60;
        const int knob = big ? 24 : 20;
        for (const bool centre : {true, false})
            for (const bool nonEdge : {true, false}) {
                const QImage dial = CSCircularSlider::baseImageWithCenter(centre, nonEdge, big);
                EXPECT_EQ(dial.size(), QSize(side, side)) << centre << nonEdge;
                EXPECT_EQ(CSCircularSlider::baseImageWithCenter(centre, nonEdge, big).cacheKey(),
                          dial.cacheKey());
                const int middle = side / 2;
                EXPECT_EQ(qAlpha(dial.pixel(middle, middle)) > 128, centre)
                    << "the centre shows where it is a place to rest";
            }
        for (const int tint : {1, 2, -1})
            for (const bool pressed : {true, false})
                EXPECT_EQ(CSCircularSlider::knobImageWithTint(tint, pressed, big).size(), QSize(knob, knob))
                    << tint << pressed;
        EXPECT_NE(CSCircularSlider::knobImageWithTint(1, true, big),
                  CSCircularSlider::knobImageWithTint(1, false, big));
        EXPECT_TRUE(CSCircularSlider::knobImageWithTint(0, false, big).isNull());
        EXPECT_TRUE(CSCircularSlider::knobImageWithTint(3, false, big).isNull());
    }
}

// An 80-point blue slider shows the blue knob picture where its knob stands (on the rim at the right); a
// 100-point one draws its knob plainly there, in grey: the tint is the pictures' alone.
TEST(CSCircularSlider, TheKnobIsDrawnFromItsPictureOnlyAtThePicturedSizes) {
    const struct {
        int side;
        QPoint knob; // the knob's centre on the rim at the right, in widget pixels
    } cases[] = {{80, {66, 40}}, {100, {86, 50}}};
    for (const auto& c : cases) {
        CSCircularSlider slider;
        slider.resize(c.side, c.side);
        slider.setAppearance(CSCircularSlider::Blue);
        slider.setWindowActiveOverride(true);
        slider.setAngle(0.0f, 1.0f);
        const QColor drawn = slider.grab().toImage().pixelColor(c.knob);
        if (c.side == 80) {
            EXPECT_GT(drawn.blue(), drawn.red() + 80);
            // The picture lies at the knob's rectangle: 24 points from (55, 28).
            const QColor pictured =
                CSCircularSlider::knobImageWithTint(1, false, true).pixelColor(c.knob - QPoint(55, 28));
            EXPECT_NEAR(drawn.red(), pictured.red(), 12);
            EXPECT_NEAR(drawn.blue(), pictured.blue(), 12);
        } else {
            EXPECT_EQ(drawn, QColor(153, 153, 153)) << "the plain knob, white level 0.6";
        }
    }
}
