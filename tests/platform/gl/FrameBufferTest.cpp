#include "GlTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "platform/gl/FrameBuffer.h"
#include "platform/gl/GlError.h"

#include <QColor>

using namespace platform::gl;
using gltest::near;

namespace {

::testing::AssertionResult sameImage(const QImage& actual, const QImage& expected, int tolerance = 1) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height();
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (!near(actual.pixel(x, y), expected.pixel(x, y), tolerance))
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << actual.pixel(x, y) << " not " << expected.pixel(x, y);
    return ::testing::AssertionSuccess();
}

// Four quadrants of distinct colours, so a flip or a mirror of either axis shows.
QImage quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool top = y < height / 2, left = x < width / 2;
            image.setPixel(x, y,
                           top ? (left ? qRgb(220, 30, 40) : qRgb(30, 200, 60))
                               : (left ? qRgb(40, 50, 210) : qRgb(250, 240, 10)));
        }
    return image;
}

} // namespace

TEST_F(GlTest, ClearAndColourQuadReadBackTopRowFirst) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    const FrameBuffer target(32, 24);
    target.bind();
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const GLuint program = gltest::colourProgram();
    glUseProgram(program);
    glUniform4f(glGetUniformLocation(program, "colour"), 0.0f, 0.5f, 0.25f, 1.0f);
    gltest::drawQuad(-1, 0, 1, 1); // the upper half in GL's bottom-up clip space
    const QImage pixels = target.readPixelsBGRA();
    ASSERT_EQ(pixels.size(), QSize(32, 24));
    EXPECT_EQ(pixels.format(), QImage::Format_ARGB32);
    EXPECT_TRUE(near(pixels.pixel(0, 0), qRgb(0, 128, 64))) << std::hex << pixels.pixel(0, 0);
    EXPECT_TRUE(near(pixels.pixel(31, 11), qRgb(0, 128, 64))) << std::hex << pixels.pixel(31, 11);
    EXPECT_EQ(pixels.pixel(0, 12), qRgb(255, 0, 0));
    EXPECT_EQ(pixels.pixel(31, 23), qRgb(255, 0, 0));
    // The bytes in memory are B, G, R, A, as the movie writer expects them.
    const uchar* top = pixels.constScanLine(0);
    EXPECT_NEAR(top[0], 64, 1);
    EXPECT_NEAR(top[1], 128, 1);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(top[3], 255);
    glDeleteProgram(program);
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, TexturedQuadFromImageComesBackAsTheImage) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    const QImage picture = quadrants(16, 8);
    const FrameBuffer target(16, 8);
    target.bind();
    const GLuint texture = gltest::uploadTexture(picture);
    const GLuint program = gltest::textureProgram();
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "texture"), 0);
    gltest::drawQuad(-1, -1, 1, 1);
    EXPECT_TRUE(sameImage(target.readPixelsBGRA(), picture));
    // A rectangle in GL coordinates: x 8..15 and y 0..3 is the picture's lower right quadrant.
    EXPECT_TRUE(sameImage(target.readPixelsBGRA(8, 0, 8, 4), picture.copy(8, 4, 8, 4)));
    glDeleteProgram(program);
    glDeleteTextures(1, &texture);
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, DepthAttachmentHidesFartherQuadOnlyWhileAttached) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    FrameBuffer target(8, 8, FrameBuffer::ColourAttachment::Renderbuffer);
    EXPECT_EQ(target.colourTexture(), 0u);
    const GLuint program = gltest::colourProgram();
    glUseProgram(program);
    const GLint colour = glGetUniformLocation(program, "colour");
    // Detached and attached again through the bound framebuffer, as the player does frame by frame.
    for (const bool attached : {true, false, true}) {
        target.bind();
        FrameBuffer::setDepthAttachedToBound(attached);
        EXPECT_EQ(target.isDepthAttached(), attached);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUniform4f(colour, 0, 1, 0, 1);
        gltest::drawQuad(-1, -1, 1, 1, 0.2f);
        glUniform4f(colour, 1, 0, 0, 1);
        gltest::drawQuad(-1, -1, 1, 1, 0.6f);
        glDisable(GL_DEPTH_TEST);
        EXPECT_EQ(target.readPixelsBGRA(4, 4, 1, 1).pixel(0, 0), attached ? qRgb(0, 255, 0) : qRgb(255, 0, 0))
            << "depth attached: " << attached;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    FrameBuffer::setDepthAttachedToBound(false); // not one of ours: nothing happens
    EXPECT_TRUE(target.isDepthAttached());
    glDeleteProgram(program);
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, ATextureAttachedInPlaceTakesTheDrawingUntilTheOwnColourIsBack) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    QImage white(8, 8, QImage::Format_ARGB32);
    white.fill(Qt::white);
    const GLuint other = gltest::uploadTexture(white), small = gltest::uploadTexture(white.copy(0, 0, 4, 4));
    const auto clearTo = [](float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    for (const auto kind :
         {FrameBuffer::ColourAttachment::Texture, FrameBuffer::ColourAttachment::Renderbuffer}) {
        FrameBuffer target(8, 8, kind);
        EXPECT_FALSE(target.attachColourTexture(small)) << "another size";
        EXPECT_FALSE(target.attachColourTexture(other + 100)) << "no texture";
        EXPECT_EQ(target.attachedColourTexture(), target.colourTexture());
        ASSERT_TRUE(target.attachColourTexture(other));
        EXPECT_EQ(target.attachedColourTexture(), other);
        GLint bound = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
        EXPECT_EQ(bound, 0) << "the caller's binding is kept";
        target.bind();
        clearTo(1, 0, 0);
        ASSERT_TRUE(target.attachColourTexture(0));
        clearTo(0, 1, 0);
        EXPECT_EQ(target.readPixelsBGRA(4, 4, 1, 1).pixel(0, 0), qRgb(0, 255, 0)) << "the own colour is back";
        ASSERT_TRUE(target.attachColourTexture(other));
        EXPECT_EQ(target.readPixelsBGRA(4, 4, 1, 1).pixel(0, 0), qRgb(255, 0, 0))
            << "the texture kept its drawing";
        ASSERT_TRUE(target.attachColourTexture(target.colourTexture()));
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    const GLuint textures[] = {other, small};
    glDeleteTextures(2, textures);
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, ReadBackHonoursPackAlignmentAndKeepsCallerState) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    const QImage picture = quadrants(6, 4);
    const FrameBuffer target(6, 4);
    target.bind();
    const GLuint texture = gltest::uploadTexture(picture);
    const GLuint program = gltest::textureProgram();
    glUseProgram(program);
    gltest::drawQuad(-1, -1, 1, 1);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 8); // rows of 5 pixels are 20 bytes, padded to 24 by GL
    glPixelStorei(GL_PACK_ROW_LENGTH, 9);
    const QImage odd = target.readPixelsBGRA(0, 0, 5, 3);
    EXPECT_TRUE(sameImage(odd, picture.copy(0, 1, 5, 3)));
    GLint alignment = 0, rowLength = 0, readBinding = -1;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(rowLength, 9);
    EXPECT_EQ(readBinding, 0) << "reading changed the caller's read framebuffer";
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glDeleteProgram(program);
    glDeleteTextures(1, &texture);
}

TEST_F(GlTest, FrameBufferKeepsBindingsAndRejectsBadSizes) {
    const Context::Scope scope(*context);
    const DriverLock driver;
    const FrameBuffer outer(4, 4);
    outer.bind();
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    {
        const FrameBuffer inner(8, 8);
        GLint framebuffer = 0, boundTexture = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
        EXPECT_EQ(GLuint(framebuffer), outer.name());
        EXPECT_EQ(GLuint(boundTexture), texture);
        EXPECT_NE(inner.name(), outer.name());
        EXPECT_TRUE(glIsTexture(inner.colourTexture()));
    }
    EXPECT_THROW(FrameBuffer(0, 4), GlError);
    EXPECT_THROW(FrameBuffer(4, -1), GlError);
    EXPECT_THROW(FrameBuffer(1 << 20, 4), GlError);
    EXPECT_TRUE(readPixelsBGRA(0, 0, 0, 5).isNull());
    glDeleteTextures(1, &texture);
    EXPECT_TRUE(drainErrors().isEmpty());
}

TEST_F(GlTest, FrameBufferNeedsACurrentContext) {
    EXPECT_THROW(FrameBuffer(4, 4), GlError);
}
