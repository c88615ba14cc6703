#include "RenderTestSupport.h"

#include "render/FrameBufferObject.h"
#include "render/QuadDrawing.h"

using FrameBuffers = RenderTest;

TEST_F(FrameBuffers, ASizeAtOrAboveTheRenderbufferLimitIsRefused) {
    FrameBufferObject fbo;
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    EXPECT_FALSE(fbo.initFBOWithWidth(unsigned(limit), 16));
    EXPECT_FALSE(fbo.initFBOWithWidth(16, unsigned(limit)));
    EXPECT_FALSE(fbo.initFBOWithWidth(0, 16));
    EXPECT_FALSE(fbo.isValid());
    EXPECT_EQ(fbo.maxRenderbufferSize(), limit);
    EXPECT_FALSE(fbo.switchToFBO());
}

TEST_F(FrameBuffers, SwitchingClearsToBlackSetsTheViewportAndTheTextureReceivesTheDrawing) {
    FrameBufferObject fbo;
    ASSERT_TRUE(fbo.initFBOWithWidth(32, 16));
    EXPECT_EQ(fbo.texWidth(), 32);
    EXPECT_EQ(fbo.texHeight(), 16);
    glViewport(0, 0, 5, 5);
    glClearColor(1, 1, 1, 1);
    ASSERT_TRUE(fbo.switchToFBO());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 32);
    EXPECT_EQ(viewport[3], 16);
    QImage pixels = platform::gl::readPixelsBGRA(0, 0, 32, 16);
    EXPECT_TRUE(rendertest::colourNear(pixels.pixel(3, 3), qRgb(0, 0, 0)));

    // Draw the red left half into it, then show its texture on another target.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 16, 16);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    makeTarget(32, 16);
    Matrix4 identity;
    matrixLoadIdentity(identity);
    shaders->Shader_one_texture.useMe();
    quad::setMvp(shaders->Shader_one_texture, identity);
    quad::bindTexture(0, fbo.texture());
    glUniform1i(shaders->Shader_one_texture.uniformValue("texture"), 0);
    quad::drawFan(shaders->Shader_one_texture, quad::kUnitPositions, quad::kUprightTexCoords);
    pixels = readTarget();
    EXPECT_TRUE(rendertest::colourNear(pixels.pixel(4, 8), qRgb(255, 0, 0)));
    EXPECT_TRUE(rendertest::colourNear(pixels.pixel(28, 8), qRgb(0, 0, 0)));
}

TEST_F(FrameBuffers, RemakingAtAnotherSizeReplacesTheObjects) {
    FrameBufferObject fbo;
    ASSERT_TRUE(fbo.initFBOWithWidth(8, 8));
    const GLuint oldTexture = fbo.texture();
    ASSERT_TRUE(fbo.initFBOWithWidth(20, 10));
    EXPECT_FALSE(glIsTexture(oldTexture) && oldTexture != fbo.texture());
    ASSERT_TRUE(fbo.switchToFBO());
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, fbo.texture());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 20);
    EXPECT_TRUE(FrameBufferObject::switchbackToSystemFBO());
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
}
