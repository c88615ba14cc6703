#include "platform/image/ImageFilters.h"

#include <QColor>
#include <gtest/gtest.h>

using namespace platform::image;

namespace {

QImage filled(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

void expectPixel(const QImage& image, int x, int y, int r, int g, int b, int tolerance = 1) {
    const QColor c = image.pixelColor(x, y);
    EXPECT_NEAR(c.red(), r, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(c.green(), g, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(c.blue(), b, tolerance) << "at " << x << "," << y;
}

} // namespace

TEST(ColorControls, DefaultsChangeNothingAndZeroSaturationIsLuma) {
    const QImage red = filled(4, 4, QColor(200, 40, 10));
    expectPixel(colorControls(red), 1, 1, 200, 40, 10);
    // luma = 0.2125*200 + 0.7154*40 + 0.0721*10 = 71.937
    expectPixel(colorControls(red, 0.0f), 1, 1, 72, 72, 72);
}

TEST(ColorControls, BrightnessAddsAndContrastPivotsOnMiddleGrey) {
    const QImage grey = filled(2, 2, QColor(100, 100, 100));
    expectPixel(colorControls(grey, 1.0f, 0.2f), 0, 0, 151, 151, 151);
    // (100/255 - 0.5) * 2 + 0.5 = 0.2843 -> 72.5
    expectPixel(colorControls(grey, 1.0f, 0.0f, 2.0f), 0, 0, 72, 72, 72, 1);
    expectPixel(colorControls(filled(1, 1, Qt::white), 1.0f, 0.5f), 0, 0, 255, 255, 255); // clamped
}

TEST(ColorControls, AlphaIsKept) {
    const QImage half = filled(1, 1, QColor(10, 200, 30, 128));
    EXPECT_EQ(colorControls(half, 0.0f).pixelColor(0, 0).alpha(), 128);
    EXPECT_EQ(sepiaTone(half).pixelColor(0, 0).alpha(), 128);
}

TEST(SepiaTone, WhiteTurnsWarmAndZeroIntensityChangesNothing) {
    const QImage white = filled(1, 1, Qt::white);
    const QColor toned = sepiaTone(white).pixelColor(0, 0);
    EXPECT_EQ(toned.red(), 255);
    EXPECT_GT(toned.red(), toned.blue());
    EXPECT_GT(toned.green(), toned.blue());
    const QImage blue = filled(1, 1, QColor(0, 0, 255));
    expectPixel(sepiaTone(blue, 0.0f), 0, 0, 0, 0, 255);
    // Grey pixels of a sepia picture keep red >= green >= blue whatever the source hue.
    const QColor fromBlue = sepiaTone(blue).pixelColor(0, 0);
    EXPECT_GE(fromBlue.red(), fromBlue.green());
    EXPECT_GE(fromBlue.green(), fromBlue.blue());
}

TEST(QuarterTurn, TopLeftGoesToTopRight) {
    QImage image = filled(3, 2, Qt::black);
    image.setPixelColor(0, 0, Qt::red);  // top left
    image.setPixelColor(2, 1, Qt::blue); // bottom right
    const QImage turned = rotatedQuarterTurnClockwise(image);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    EXPECT_EQ(turned.pixelColor(1, 0), QColor(Qt::red));
    EXPECT_EQ(turned.pixelColor(0, 2), QColor(Qt::blue));
}

TEST(GaussianBlur, SpreadsAnEdgeSymmetricallyAndKeepsFlatAreas) {
    QImage image(40, 10, QImage::Format_ARGB32);
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 10; ++y)
            image.setPixelColor(x, y, x < 20 ? Qt::black : Qt::white);
    const QImage blurred = gaussianBlur(image, 4.0f);
    ASSERT_EQ(blurred.size(), image.size());
    // Far from the edge nothing changes (edges extend, so no dark border either).
    expectPixel(blurred, 0, 0, 0, 0, 0);
    expectPixel(blurred, 39, 9, 255, 255, 255);
    // Across the edge the ramp is monotonic and symmetric about the middle.
    for (int x = 1; x < 40; ++x)
        EXPECT_GE(blurred.pixelColor(x, 5).red(), blurred.pixelColor(x - 1, 5).red());
    EXPECT_NEAR(blurred.pixelColor(19, 5).red() + blurred.pixelColor(20, 5).red(), 255, 2);
    EXPECT_GT(blurred.pixelColor(17, 5).red(), 10);
    EXPECT_LT(blurred.pixelColor(22, 5).red(), 245);
}

TEST(GaussianBlur, TransparentSurroundDoesNotDarkenColour) {
    QImage image(21, 21, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 8; y < 13; ++y)
        for (int x = 8; x < 13; ++x)
            image.setPixelColor(x, y, Qt::white);
    const QColor centre = gaussianBlur(image, 2.0f).pixelColor(10, 10);
    EXPECT_GT(centre.alpha(), 0);
    EXPECT_GE(centre.red(), 250); // unpremultiplied colour stays white
}
