#include "render/DropShadow.h"

#include "render/RenderTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

using namespace render_test;

namespace {

// A clear layer with an opaque square.
QImage squareLayer(int size, QRect square) {
    QImage layer(size, size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter(&layer).fillRect(square, Qt::white);
    return layer;
}

double alphaSum(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y));
    return sum;
}

} // namespace

TEST(DropShadowShape, WithoutBlurTheShadowIsTheLayerTinted) {
    const DropShadow shadow(QPoint(3, 3), 0);
    EXPECT_EQ(shadow.spread(), 0);
    const QImage cast = shadow.castBy(squareLayer(10, QRect(2, 2, 4, 4)));
    ASSERT_EQ(cast.size(), QSize(10, 10));
    EXPECT_TRUE(hasColour(cast, 2, 2, QColor(0, 0, 0, 85), 0));
    EXPECT_TRUE(hasColour(cast, 5, 5, QColor(0, 0, 0, 85), 0));
    EXPECT_EQ(alphaAt(cast, 1, 2), 0);
    EXPECT_EQ(alphaAt(cast, 6, 5), 0);
    EXPECT_TRUE(DropShadow(QPoint(), 4).castBy(QImage()).isNull());
}

TEST(DropShadowShape, BlurSpreadsEvenlyAndKeepsTheShadowsWeight) {
    const DropShadow shadow(QPoint(), 10, QColor(0, 0, 0, 255));
    const int margin = shadow.spread();
    EXPECT_GE(margin, 10); // reaches at least two standard deviations
    const QImage layer = squareLayer(40, QRect(10, 10, 20, 20));
    const QImage cast = shadow.castBy(layer);
    ASSERT_EQ(cast.size(), QSize(40 + 2 * margin, 40 + 2 * margin));
    EXPECT_NEAR(alphaSum(cast), alphaSum(layer), alphaSum(layer) * 0.01);
    // A centred square casts a shadow alike on all four sides: pixel c + d mirrors pixel c - d - 1.
    const int c = margin + 20;
    for (int d : {8, 12, 16}) {
        const int right = alphaAt(cast, c + d, c);
        EXPECT_NEAR(alphaAt(cast, c - d - 1, c), right, 1) << d;
        EXPECT_NEAR(alphaAt(cast, c, c + d), right, 1) << d;
        EXPECT_NEAR(alphaAt(cast, c, c - d - 1), right, 1) << d;
    }
    // It fades outwards and leaves nothing beyond its reach.
    EXPECT_GT(alphaAt(cast, c + 8, c), alphaAt(cast, c + 12, c));
    EXPECT_GT(alphaAt(cast, c + 12, c), alphaAt(cast, c + 16, c));
    EXPECT_EQ(alphaAt(cast, 0, 0), 0);
}

TEST(DropShadowShape, AnEdgeBlursLikeAGaussianOfHalfTheBlur) {
    // A layer opaque on its left half, tall enough that the middle row sees no top or bottom edge; blur 20
    // means a standard deviation of 10.
    QImage layer(200, 200, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter(&layer).fillRect(QRect(0, 0, 100, 200), Qt::white);
    const DropShadow shadow(QPoint(), 20, QColor(0, 0, 0, 255));
    const QImage cast = shadow.castBy(layer);
    const int m = shadow.spread(), y = m + 100;
    const auto expected = [](double inside) { return 255 * 0.5 * std::erfc(-inside / (10 * M_SQRT2)); };
    // The centre of pixel 100 + d lies d + 0.5 beyond the edge.
    for (int d : {-20, -10, 0, 10, 20})
        EXPECT_NEAR(alphaAt(cast, m + 100 + d, y), expected(-(d + 0.5)), 255 * 0.02) << d;
}

TEST(DropShadowDrawing, TheShadowFallsByItsOffsetBeneathTheLayer) {
    QImage canvas(30, 30, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    const DropShadow shadow(QPoint(6, 4), 0);
    QImage layer(10, 10, QImage::Format_ARGB32_Premultiplied);
    layer.fill(QColor(Qt::red));
    shadow.drawLayer(painter, layer, QPoint(5, 5));
    painter.end();
    EXPECT_TRUE(hasColour(canvas, 5, 5, Qt::red, 0));
    EXPECT_TRUE(hasColour(canvas, 14, 14, Qt::red, 0));
    // Right of and below the layer lies its shadow; above and left of it nothing.
    EXPECT_TRUE(hasColour(canvas, 20, 18, QColor(0, 0, 0, 85), 0));
    EXPECT_TRUE(hasColour(canvas, 16, 9, QColor(0, 0, 0, 85), 0));
    EXPECT_EQ(alphaAt(canvas, 21, 18), 0);
    EXPECT_EQ(alphaAt(canvas, 20, 19), 0);
    EXPECT_EQ(alphaAt(canvas, 4, 5), 0);
    EXPECT_EQ(alphaAt(canvas, 16, 8), 0);
}
