#include "RenderTestSupport.h"

#include "platform/gl/DriverLock.h"
#include "render/BuiltInComposition.h"
#include "render/CompositionRegistry.h"
#include "render/OffscreenRenderer.h"
#include "support/TempDir.h"
#include "support/TestComposition.h"

#include <QFile>

using platform::gl::DriverLock;

namespace {

// A fill running from black to white over 4 seconds, a red square in the top left quarter, and a green bar
// along the bottom that grows with "percentDone".
QByteArray sampleComposition(const QString& inputs) {
    return test_support::TestComposition{.inputs = inputs}.text();
}

const QString kAllInputs = "<string>percentDone</string><string>MoviePath</string><string>Looping</string>";

// The texture of the renderer's frame buffer as seen from the test's context (shared), top row first.
QImage textureOf(const OffscreenRenderer& renderer) {
    const FrameBufferObject& fbo = *renderer.auxFrameBuffer();
    QImage image(fbo.texWidth(), fbo.texHeight(), QImage::Format_RGBA8888);
    const DriverLock driver;
    glBindTexture(GL_TEXTURE_2D, fbo.texture());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored();
}

class OffscreenRendererTest : public RenderTest {
protected:
    QString write(const QString& name, const QByteArray& content) {
        QFile file(folder.file(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }
    std::unique_ptr<OffscreenRenderer> make(const QString& path, QString* error = nullptr, int width = 64,
                                            int height = 36) {
        return OffscreenRenderer::create(path, GL_TEXTURE_2D, width, height, context, "/clips/clip.mov",
                                         error);
    }
    TempDir folder;
};

} // namespace

TEST_F(OffscreenRendererTest, RendersTheCompositionAtATimeWithThePartOfTheSlidePlayed) {
    auto renderer = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(renderer);
    renderer->setDuration(8.0f);
    ASSERT_TRUE(renderer->updateTextureForTime(2.0));
    EXPECT_FLOAT_EQ(renderer->composition()->valueForInputKey("percentDone").toFloat(), 0.25f);
    QImage frame = textureOf(*renderer);
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(8, 4), qRgb(255, 0, 0)));
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(48, 4), qRgb(128, 128, 128), 2)) << "half-way to white";
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(10, 33), qRgb(0, 255, 0))) << "a quarter of the bar";
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(30, 33), qRgb(128, 128, 128), 2));
    // The clip's path went to the composition, and it does not loop.
    EXPECT_EQ(renderer->composition()->valueForInputKey("MoviePath").toString(), "/clips/clip.mov");
    EXPECT_EQ(renderer->composition()->valueForInputKey("Looping"), QVariant(false));
}

TEST_F(OffscreenRendererTest, RendersGoToAFrameBufferHandedInAndItsTextureIsDescribed) {
    auto renderer = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(renderer);
    const GLuint own = renderer->textureName();
    EXPECT_EQ(own, renderer->auxFrameBuffer()->texture());
    EXPECT_EQ(renderer->textureTarget(), GLenum(GL_TEXTURE_2D));
    EXPECT_EQ(QSize(renderer->textureWidth(), renderer->textureHeight()), QSize(64, 36));
    EXPECT_EQ((std::vector<float>{renderer->textureCoordSMin(), renderer->textureCoordSMax(),
                                  renderer->textureCoordTMin(), renderer->textureCoordTMax()}),
              (std::vector<float>{0, 1, 0, 1}));

    EXPECT_FALSE(renderer->setTomFrameBuffer(std::make_unique<FrameBufferObject>())) << "no texture";
    auto mine = std::make_unique<FrameBufferObject>(); // made on the caller's context
    ASSERT_TRUE(mine->initFBOWithWidth(32, 18));
    FrameBufferObject* handed = mine.get();
    ASSERT_TRUE(renderer->setTomFrameBuffer(std::move(mine)));
    EXPECT_EQ(renderer->auxFrameBuffer(), handed);
    EXPECT_EQ(renderer->textureName(), handed->texture());
    EXPECT_EQ(QSize(renderer->textureWidth(), renderer->textureHeight()), QSize(32, 18));
    renderer->setDuration(8.0f);
    ASSERT_TRUE(renderer->updateTextureForTime(2.0));
    const QImage frame = textureOf(*renderer);
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(4, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(rendertest::colourNear(frame.pixel(5, 16), qRgb(0, 255, 0))) << "a quarter of the bar";

    ASSERT_TRUE(renderer->setTomFrameBuffer(nullptr));
    EXPECT_NE(renderer->auxFrameBuffer(), handed);
    EXPECT_EQ(renderer->textureName(), renderer->auxFrameBuffer()->texture());
    ASSERT_TRUE(renderer->updateTextureForTime(2.0));
    EXPECT_TRUE(rendertest::colourNear(textureOf(*renderer).pixel(4, 2), qRgb(255, 0, 0)));
}

TEST_F(OffscreenRendererTest, ARenderLeavesTheCallersTargetViewportAndContextAsTheyWere) {
    auto renderer = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(renderer);
    // The caller is drawing into a frame buffer of its own (a transition's, say), with a viewport of its own.
    platform::gl::FrameBuffer& mine = makeTarget(40, 30);
    std::optional<platform::gl::FrameBuffer> other;
    {
        const DriverLock driver;
        other.emplace(20, 20);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, other->name());
        glViewport(3, 4, 25, 17);
    }
    renderer->setDuration(4.0f);
    ASSERT_TRUE(renderer->updateTextureForTime(1.0));
    EXPECT_EQ(platform::gl::Context::current(), context.get());
    const DriverLock driver;
    GLint draw = 0, read = 0, viewport[4] = {};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(GLuint(draw), mine.name());
    EXPECT_EQ(GLuint(read), other->name());
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{3, 4, 25, 17}));
    // Nothing was drawn into the caller's target.
    EXPECT_TRUE(rendertest::colourNear(readTarget().pixel(20, 15), qRgb(0, 0, 0)));
}

TEST_F(OffscreenRendererTest, TheCallersContextDrawsIntoAFrameBufferHandedInButNeverIntoTheRenderersOwn) {
    auto renderer = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(renderer);
    const platform::gl::FrameBuffer& target = makeTarget(40, 30);
    const auto drawBinding = [] {
        const DriverLock driver;
        GLint bound = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
        return GLuint(bound);
    };
    EXPECT_FALSE(renderer->_updateTextureOnTargetContext());
    EXPECT_EQ(drawBinding(), target.name());

    auto mine = std::make_unique<FrameBufferObject>();
    ASSERT_TRUE(mine->initFBOWithWidth(32, 18));
    const GLuint handed = mine->framebufferName();
    ASSERT_TRUE(renderer->setTomFrameBuffer(std::move(mine)));
    renderer->setDuration(8.0f);
    ASSERT_TRUE(renderer->updateTextureForTime(2.0));
    ASSERT_TRUE(renderer->_updateTextureOnTargetContext());
    EXPECT_EQ(drawBinding(), handed);
    const DriverLock driver;
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 32, 18}));
    EXPECT_TRUE(rendertest::colourNear(textureOf(*renderer).pixel(4, 2), qRgb(0, 0, 0))) << "cleared";
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(rendertest::colourNear(textureOf(*renderer).pixel(4, 2), qRgb(0, 0, 255)));
}

TEST_F(OffscreenRendererTest, InputsGoOnlyToCompositionsThatPublishThem) {
    // Without "percentDone" it renders all the same; without "MoviePath", "Looping" is not set either.
    auto renderer = make(write("plain.vcomp", sampleComposition("<string>Looping</string>")));
    ASSERT_TRUE(renderer);
    renderer->setDuration(8.0f);
    EXPECT_TRUE(renderer->updateTextureForTime(2.0));
    EXPECT_FALSE(renderer->composition()->valueForInputKey("percentDone").isValid());
    EXPECT_FALSE(renderer->composition()->valueForInputKey("Looping").isValid());
    EXPECT_FALSE(renderer->composition()->setValueForInputKey("MoviePath", "x"));
    EXPECT_TRUE(rendertest::colourNear(textureOf(*renderer).pixel(10, 33), qRgb(128, 128, 128), 2))
        << "a bar that reads no input stays empty";

    // A slide of no length does not divide by it.
    auto other = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(other->updateTextureForTime(3.0));
    EXPECT_EQ(other->composition()->valueForInputKey("percentDone").toFloat(), 0.0f);
}

TEST_F(OffscreenRendererTest, AStoppedRendererDrawsNoMore) {
    auto renderer = make(write("show.vcomp", sampleComposition(kAllInputs)));
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(renderer->updateTextureForTime(4.0));
    const QRgb before = textureOf(*renderer).pixel(48, 4);
    renderer->stop();
    EXPECT_TRUE(renderer->isStopped());
    EXPECT_FALSE(renderer->composition());
    EXPECT_TRUE(renderer->updateTextureForTime(0.0));
    EXPECT_EQ(textureOf(*renderer).pixel(48, 4), before);
}

TEST_F(OffscreenRendererTest, WhatNoFormatReadsOrBadArgumentsGiveNoRenderer) {
    const QString good = write("show.vcomp", sampleComposition(kAllInputs));
    QString error;
    EXPECT_FALSE(make(good, &error, 15, 36)) << "a width of 15";
    EXPECT_FALSE(make(good, &error, 64, 15));
    EXPECT_FALSE(make(QString(), &error));
    EXPECT_FALSE(OffscreenRenderer::create(good, GL_TEXTURE_3D, 64, 36, context, {}, &error));
    EXPECT_FALSE(OffscreenRenderer::create(good, GL_TEXTURE_2D, 64, 36, nullptr, {}, &error));
    EXPECT_TRUE(OffscreenRenderer::create(good, GL_TEXTURE_RECTANGLE, 64, 36, context, {}, &error));

    error.clear();
    EXPECT_FALSE(make(write("other.qtz", "a composition of a format nobody reads here"), &error));
    EXPECT_TRUE(error.contains("No format")) << error.toStdString();
    for (const QByteArray& broken :
         {QByteArray("not a property list"), QByteArray("<plist version=\"1.0\"><array/></plist>"),
          sampleComposition(kAllInputs).replace("VistrelleComposition", "Other"),
          sampleComposition(kAllInputs).replace("<string>Rect</string>", "<string>Circle</string>"),
          sampleComposition(kAllInputs).replace("<real>0.5</real><real>0.5</real>", "<real>0.5</real>"),
          sampleComposition(kAllInputs).replace("<real>8</real>", "<real>0</real>")}) {
        error.clear();
        EXPECT_FALSE(make(write("broken.vcomp", broken), &error)) << broken.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(make(folder.file("missing.vcomp"), &error));
    EXPECT_EQ(platform::gl::Context::current(), context.get());
}

TEST_F(OffscreenRendererTest, FormatsAreFoundByFileType) {
    EXPECT_TRUE(CompositionRegistry::fileTypes().contains("vcomp"));
    struct Solid : Composition {
        QStringList inputKeys() const override { return {}; }
        bool setValueForInputKey(const QString&, const QVariant&) override { return false; }
        QVariant valueForInputKey(const QString&) const override { return {}; }
        bool renderAtTime(double) override {
            glClearColor(0, 0, 1, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            return true;
        }
    };
    CompositionRegistry::registerFormat("SOLID",
                                        [](const QString&, QString*) { return std::make_unique<Solid>(); });
    auto renderer = make(write("x.solid", ""));
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(rendertest::colourNear(textureOf(*renderer).pixel(5, 5), qRgb(0, 0, 255)));
    CompositionRegistry::registerFormat("solid", {});
    EXPECT_FALSE(make(write("y.solid", "")));
}
