#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/FrameBuffer.h"
#include "render/SharedShaderPrograms.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <cstdlib>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A fresh main context made current for the whole test, with the shared programs built on it. The test enters
// the driver as the product does: the helpers below take the driver lock, and so do the tests around what the
// player draws under it and the GL calls of their own. What the product enters the driver through on its own
// (loads, frame buffers, converters, a frame of the player) it locks itself, and the check sees it.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A frame buffer of the given size, bound, with its viewport set; the drawing aspect ratio follows it.
    platform::gl::FrameBuffer& makeTarget(int width, int height);
    // The bound target's pixels, top row first.
    QImage readTarget() const;

    std::shared_ptr<platform::gl::Context> context;
    std::optional<platform::gl::Context::Scope> scope;
    std::shared_ptr<SharedShaderPrograms> shaders;
    std::unique_ptr<platform::gl::FrameBuffer> target;
};

namespace rendertest {

// Whether two colours differ by at most `tolerance` in red, green and blue.
bool near(QRgb a, QRgb b, int tolerance = 3);
::testing::AssertionResult colourNear(QRgb actual, QRgb expected, int tolerance = 3);
// A picture split into four coloured quarters: red top left, green top right, blue bottom left, white
// bottom right.
QImage quarters(int width, int height);
QImage solid(int width, int height, QColor colour);
// The bounding box of the pixels that are not (near) black.
QRect litBounds(const QImage& image, int threshold = 40);

} // namespace rendertest

// Picture helpers of the theme filter's tests.
namespace render_test {

inline QImage solid(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Top half `top`, bottom half `bottom`, as seen.
inline QImage topAndBottom(int w, int h, QColor top, QColor bottom) {
    QImage image = solid(w, h, bottom);
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixelColor(x, y, top);
    return image;
}

// A tile whose every pixel tells where it is in the tile.
inline QImage codedTile(int w, int h) {
    QImage tile(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            tile.setPixelColor(x, y, QColor(20 + 25 * x, 20 + 25 * y, 200));
    return tile;
}

inline int alphaAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, y).alpha();
}

// Compares the colour as seen (not premultiplied) and the alpha.
inline ::testing::AssertionResult hasColour(const QImage& image, int x, int y, QColor expected,
                                            int tolerance = 2) {
    if (!image.valid(x, y))
        return ::testing::AssertionFailure() << "(" << x << "," << y << ") lies outside the picture";
    const QColor c = image.pixelColor(x, y);
    const bool near = std::abs(c.red() - expected.red()) <= tolerance &&
                      std::abs(c.green() - expected.green()) <= tolerance &&
                      std::abs(c.blue() - expected.blue()) <= tolerance &&
                      std::abs(c.alpha() - expected.alpha()) <= tolerance;
    if (near)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << x << "," << y << ") is rgba(" << c.red() << "," << c.green() << "," << c.blue() << ","
           << c.alpha() << "), expected rgba(" << expected.red() << "," << expected.green() << ","
           << expected.blue() << "," << expected.alpha() << ")";
}

} // namespace render_test
