#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/FrameBuffer.h"
#include "render/SharedShaderPrograms.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A fresh main context made current for the whole test, with the shared programs built on it.
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
