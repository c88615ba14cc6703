#include "ui/controls/AWAttachedWindow.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace aw_geometry;

namespace {

const QSizeF kView(100, 50);
const AWAppearance kDefaults;

// The outline's point farthest out in the arrow's direction, in screen space.
QPointF arrowTip(int side, const QPointF& anchor) {
    const Layout placed = layout(kView, anchor, side, 0.0f, kDefaults, 1.0f);
    // How far out a point lies: up for an arrow on the top edge, down for one on the bottom edge, ...
    const auto outward = [side](const QPointF& q) {
        switch (side) {
        case 1:
        case 10:
        case 11:
            return q.y();
        case 3:
        case 8:
        case 9:
            return -q.y();
        case 0:
        case 4:
        case 5:
            return q.x();
        default:
            return -q.x();
        }
    };
    QPointF tip;
    bool first = true;
    for (const QPointF& p : outline(placed.viewFrame, side, kDefaults, 1.0f)) {
        const QPointF q = p + placed.windowFrame.topLeft();
        if (first || outward(q) > outward(tip))
            tip = q;
        first = false;
    }
    return tip;
}

} // namespace

TEST(AttachedWindowGeometry, TheSidesUsedPlaceTheBoxAgainstThePoint) {
    const QPointF p(500, 400);
    const Layout below = layout(kView, p, AWSideBelow, 0.0f, kDefaults, 1.0f);
    EXPECT_EQ(below.windowFrame, QRectF(448, 330, 104, 70)) << "centred, its top edge level with the point";
    EXPECT_EQ(below.viewFrame.topLeft(), QPointF(2, 2));
    const Layout above = layout(kView, p, AWSideAbove, 0.0f, kDefaults, 1.0f);
    EXPECT_EQ(above.viewFrame.topLeft(), QPointF(2, 18));
    EXPECT_EQ(above.windowFrame.y(), 400) << "its bottom edge level with the point";
    const Layout rightward = layout(kView, p, AWSideAboveRightward, 0.0f, kDefaults, 1.0f);
    EXPECT_EQ(rightward.windowFrame.x(), 500 - 18) << "half the arrow base plus the corner radius";
    EXPECT_EQ(layout(kView, p, 3, 5.0f, kDefaults, 1.0f).windowFrame.y(), 405) << "the distance";
}

TEST(AttachedWindowGeometry, EveryArrowPointsAtItsAnchor) {
    const QPointF anchor(600, 300);
    for (int side = 0; side < AWSideAutomatic; ++side) {
        const QPointF tip = arrowTip(side, anchor);
        EXPECT_NEAR(tip.x(), anchor.x(), 1.5) << "side " << side;
        EXPECT_NEAR(tip.y(), anchor.y(), 1.5) << "side " << side;
    }
}

TEST(AttachedWindowGeometry, TheAutomaticSideStaysOnScreen) {
    const QRectF screen(0, 0, 1440, 900);
    const QSizeF view(200, 100);
    EXPECT_EQ(bestSide(view, {700, 500}, 0.0f, kDefaults, 1.0f, screen, std::nullopt), AWSideBelow);
    EXPECT_EQ(bestSide(view, {700, 50}, 0.0f, kDefaults, 1.0f, screen, std::nullopt), AWSideRightUpward)
        << "no room below, room on the right, rising since 50 + 104 - 18 is below the top";
    EXPECT_EQ(bestSide(view, {1400, 50}, 0.0f, kDefaults, 1.0f, screen, std::nullopt), AWSideLeftUpward);
}

TEST(AttachedWindow, SettersKeepTheBoxDrawable) {
    auto* view = new QWidget; // the window takes it
    view->resize(100, 50);
    const std::unique_ptr<AWAttachedWindow> window(
        AWAttachedWindow::create(view, QPointF(300, 300), nullptr, AWSideBelow));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->view(), view);
    EXPECT_EQ(window->size(), QSize(104, 70));
    window->setBorderWidth(5.0f);
    EXPECT_FLOAT_EQ(window->borderWidth(), 2.0f) << "cut to the margin";
    window->setViewMargin(-3.0f);
    EXPECT_FLOAT_EQ(window->viewMargin(), 0.0f);
    EXPECT_EQ(window->size(), QSize(100, 66));
    window->setCornerRadius(100.0f);
    EXPECT_FLOAT_EQ(window->cornerRadius(), (50.0f - 20.0f) / 2) << "bounded by the short side and the arrow";
    window->setPoint(QPointF(300, 300), AWSideAbove);
    EXPECT_EQ(window->side(), AWSideAbove);
    EXPECT_EQ(AWAttachedWindow::create(nullptr, QPointF()), nullptr);
}
