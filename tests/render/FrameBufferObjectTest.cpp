#include "RenderTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "render/FrameBufferObject.h"
#include "render/QuadDrawing.h"
#include "render/TextureObject.h"

using platform::gl::DriverLock;

class FrameBuffers : public RenderTest {
protected:
    // A texture drawn over the whole of a new target of its size, read back.
    QImage shown(GLuint texture, int width, int height) {
        const DriverLock driver;
        makeTarget(width, height);
        Matrix4 identity;
        matrixLoadIdentity(identity);
        shaders->Shader_one_texture.useMe();
        quad::setMvp(shaders->Shader_one_texture, identity);
        quad::bindTexture(0, texture);
        glUniform1i(shaders->Shader_one_texture.uniformValue("texture"), 0);
        quad::drawFan(shaders->Shader_one_texture, quad::kUnitPositions, quad::kUprightTexCoords);
        return readTarget();
    }
    static void clearTo(float red, float green, float blue) {
        const DriverLock driver;
        glClearColor(red, green, blue, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

TEST_F(FrameBuffers, ASizeAtOrAboveTheRenderbufferLimitIsRefused) {
    FrameBufferObject fbo;
    GLint limit = 0;
    {
        const DriverLock driver;
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limit);
    }
    EXPECT_FALSE(fbo.initFBOWithWidth(unsigned(limit), 16));
    EXPECT_FALSE(fbo.initFBOWithWidth(16, unsigned(limit)));
    EXPECT_FALSE(fbo.initFBOWithWidth(0, 16));
    EXPECT_FALSE(fbo.isValid());
    EXPECT_EQ(fbo.maxRenderbufferSize(), limit);
    const DriverLock driver;
    EXPECT_FALSE(fbo.switchToFBO());
}

TEST_F(FrameBuffers, SwitchingClearsToBlackSetsTheViewportAndTheTextureReceivesTheDrawing) {
    FrameBufferObject fbo;
    ASSERT_TRUE(fbo.initFBOWithWidth(32, 16));
    EXPECT_EQ(fbo.texWidth(), 32);
    EXPECT_EQ(fbo.texHeight(), 16);
    const DriverLock driver;
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
    pixels = shown(fbo.texture(), 32, 16);
    EXPECT_TRUE(rendertest::colourNear(pixels.pixel(4, 8), qRgb(255, 0, 0)));
    EXPECT_TRUE(rendertest::colourNear(pixels.pixel(28, 8), qRgb(0, 0, 0)));
}

TEST_F(FrameBuffers, RemakingAtAnotherSizeReplacesTheObjects) {
    FrameBufferObject fbo;
    ASSERT_TRUE(fbo.initFBOWithWidth(8, 8));
    const GLuint oldTexture = fbo.texture();
    ASSERT_TRUE(fbo.initFBOWithWidth(20, 10));
    const DriverLock driver;
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

TEST_F(FrameBuffers, ATextureSetInPlaceReceivesTheDrawingUntilTheOwnOneIsBack) {
    FrameBufferObject fbo;
    EXPECT_FALSE(fbo.setTexture(0)) << "no frame buffer yet";
    ASSERT_TRUE(fbo.initFBOWithWidth(32, 16));
    const GLuint own = fbo.texture();
    TextureObject other, otherSize;
    ASSERT_TRUE(other.LoadCIImage(rendertest::solid(32, 16, Qt::white)));
    ASSERT_TRUE(otherSize.LoadCIImage(rendertest::solid(16, 16, Qt::white)));
    {
        // As the composition renderer hands a texture in and draws into it: under the lock.
        const DriverLock driver;
        EXPECT_FALSE(fbo.setTexture(otherSize.textureID()));
        EXPECT_FALSE(fbo.setTexture(other.textureID() + 1000)) << "no texture";
        EXPECT_EQ(fbo.texture(), own);
        ASSERT_TRUE(fbo.setTexture(other.textureID()));
        EXPECT_EQ(fbo.texture(), other.textureID());
        ASSERT_TRUE(fbo.switchToFBO());
        clearTo(1, 0, 0);
        ASSERT_TRUE(fbo.setTexture(0));
        EXPECT_EQ(fbo.texture(), own);
        ASSERT_TRUE(fbo.switchToFBO());
        clearTo(0, 1, 0);
        EXPECT_TRUE(rendertest::colourNear(shown(other.textureID(), 32, 16).pixel(16, 8), qRgb(255, 0, 0)));
        EXPECT_TRUE(rendertest::colourNear(shown(own, 32, 16).pixel(16, 8), qRgb(0, 255, 0)));
        ASSERT_TRUE(fbo.setTexture(other.textureID()));
    }
    ASSERT_TRUE(fbo.initFBOWithWidth(32, 16));
    EXPECT_NE(fbo.texture(), other.textureID()) << "a remade frame buffer draws into its own texture";
}
