#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/GlApi.h"

#include <QImage>

#include <gtest/gtest.h>

#include <memory>

// Every GL test runs with a fresh context; a machine without GL fails the test with EGL's reasons. The test
// enters the driver as the product does, under the driver lock: the helpers below take it, and so do the
// tests around the GL calls of their own.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    std::unique_ptr<platform::gl::Context> context;
};

namespace gltest {

// Links a GLSL program with "position" at attribute 0 and "texcoord" at 1; fails the test on a build error.
GLuint buildProgram(const char* vertexSource, const char* fragmentSource);
// A program drawing a flat "colour" uniform, and one drawing the "texture" sampler.
GLuint colourProgram();
GLuint textureProgram();
// Draws the rectangle (x0, y0)-(x1, y1) in clip space at depth z, texture coordinates 0..1, from client
// arrays.
void drawQuad(float x0, float y0, float x1, float y1, float z = 0.0f);
// A 2D RGBA8 texture holding `image` the GL way up (first texture row = bottom row of the picture).
GLuint uploadTexture(const QImage& image, GLint filter = GL_NEAREST);

// Whether two colours differ by at most `tolerance` in every channel.
bool near(QRgb a, QRgb b, int tolerance = 2);

} // namespace gltest
